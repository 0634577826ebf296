#pragma once
// Wildcard matching of server version texts: "*" any run, "?" any character, "[...]" a class
// (ranges, "^" negates), "\" quotes. 1 match, 0 no match, -1 a backslash at the end, -2 a class
// without "]", -3 a range ending in "]".

int version_pattern_match(const char* pattern, const char* text);
