#include "util/strings.h"

#include <cctype>
#include <cstring>

namespace {

bool isDelimiter(char c, const char* delimiters) {
    return c != '\0' && std::strchr(delimiters, c) != nullptr;
}

}  // namespace

// Same fields as strtok would give, without touching strtok's hidden state.
int splitFields(int maxFields, char** fields, char* text, const char* delimiters) {
    if (!fields || maxFields < 1) return 0;
    for (int i = 0; i < maxFields; ++i) fields[i] = nullptr;
    if (!text) return 0;
    if (!delimiters) delimiters = "";
    char* pos = text;
    int count = 0;
    while (count < maxFields - 1) {
        while (isDelimiter(*pos, delimiters)) ++pos;
        if (*pos == '\0') return count;
        fields[count++] = pos;
        while (*pos != '\0' && !isDelimiter(*pos, delimiters)) ++pos;
        if (*pos != '\0') *pos++ = '\0';
    }
    fields[maxFields - 1] = *pos != '\0' ? pos : nullptr;
    return maxFields;
}

int isNumericText(const char* text) {
    if (!text) return 0;
    for (const char* p = text; *p; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '-' && *p != '.') return 0;
    }
    return 1;
}

void toLowerInPlace(char* text) {
    if (!text) return;
    for (char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (std::isupper(c)) *p = static_cast<char>(std::tolower(c));
    }
}
