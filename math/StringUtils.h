#pragma once
// Lower-casing and splitting texts into white-space separated words.

#include <string>
#include <vector>

std::string toLower(const std::string& text);          // A-Z only; everything else unchanged

// Appends every word of text, in order, after what words already holds. White space
// is blank, tab, line feed, vertical tab, form feed and carriage return.
void splitWords(std::string text, std::vector<std::string>& words);
