// Small string helpers of the constraint file reader and the checks.
#pragma once

// Splits text in place, strtok style, into at most maxFields fields; the last
// field is the untouched rest. Returns the number of fields (maxFields when
// the rest was reached, even if it is null). Unused slots are set to null.
// The scan keeps no hidden state, unlike strtok itself.
int splitFields(int maxFields, char** fields, char* text, const char* delimiters);
// 1 when every character is a digit, '-' or '.' (also for ""), else 0
// (also for null).
int isNumericText(const char* text);
void toLowerInPlace(char* text);
