#pragma once

#include <QString>
#include <cstdint>

class QCoreApplication;

// One language at a time: the system's locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) chooses the
// catalogue "PROGRAM_LANGUAGE.qm" from the installed translations, or from the build tree
// beside the program. Under the C or POSIX locale, or for a language without a catalogue, none
// is installed and the texts show as they are written. Returns the language installed ("de",
// "en"), empty when none.
QString InstallTranslations(QCoreApplication& application, const QString& program);

// A number as the installed language writes it; with none, with a dot between thousands.
QString FormatCount(std::int32_t number);
