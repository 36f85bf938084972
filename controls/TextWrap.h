// Word wrap for text boxes that show paths: the line breaks of the text are
// kept, lines break at blanks, and a word wider than the box (a long path
// without blanks) breaks after a '/' or, failing that, between characters,
// so no part of it runs off the box's edge.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Width in pixels of a piece of text (UTF-8 bytes) as it shows.
using TextMeasureFn = std::function<int(const std::string&)>;

std::vector<std::string> WrapText(const std::string& strText, int nMaxWidth, const TextMeasureFn& fnMeasure);
