#pragma once

#include <string>
#include <string_view>

#include <QString>

// Wire and file texts are bytes. They are shown as UTF-8 when they are UTF-8 (a character cut
// in half at the end by a byte limit is dropped), otherwise as Latin-1.
QString ToDisplay(std::string_view bytes);
// Text typed by the operator, back to bytes: Latin-1 when it fits, otherwise UTF-8.
std::string FromDisplay(const QString& text);
