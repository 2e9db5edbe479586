#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

class QCoreApplication;

// One language at a time: the system's locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) chooses the
// catalogue "PROGRAM_LANGUAGE.qm" from the installed translations, or from the build tree
// beside the program. Under the C or POSIX locale, or for a language without a catalogue, none
// is installed and the texts show as they are written. Returns the language installed ("de",
// "en"), empty when none.
QString InstallTranslations(QCoreApplication& application, const QString& program);

// Where the catalogues are looked for: PREFIX/share/zerval/translations for PREFIX/bin/PROGRAM,
// then the "translations" folder beside the program (a build tree).
QStringList TranslationFolders();
QString InstallTranslations(QCoreApplication& application, const QString& program,
                            const QStringList& folders);

// A number as the installed language writes it; with none, with a dot between thousands.
QString FormatCount(std::int32_t number);
