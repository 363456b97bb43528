#pragma once
// The date shown at the top of every main window.

#include <QDate>

#include <string>

namespace core {

// The date as "dddd, dd mmmm yyyy" in Italian with every word capitalised:
// "Mercoledì, 25 Settembre 2002".
std::string LongDateLabel(const QDate& date);
std::string TodayLabel();

// Every word begins with a capital letter and goes on in small letters.
std::string ProperCase(const std::string& text);

}  // namespace core
