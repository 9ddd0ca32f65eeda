// Small string helpers of the constraint file reader and the checks.
#pragma once

// Splits text in place, strtok style, into at most maxFields fields; the last
// field is the untouched rest. Returns the number of fields (maxFields when
// the rest was reached, even if it is null).
int splitFields(int maxFields, char** fields, char* text, const char* delimiters);
// 1 when every character is a digit, '-' or '.' (also for ""), else 0.
int isNumericText(const char* text);
void toLowerInPlace(char* text);
