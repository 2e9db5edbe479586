#include "language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <optional>

#include "store/stdfuncs.h"

namespace {

// The language whose numbers the texts use, once a catalogue is installed.
std::optional<QLocale> chosenLanguage;

}  // namespace

QStringList TranslationFolders() {
  const QDir programFolder(QCoreApplication::applicationDirPath());
  return {programFolder.filePath(QStringLiteral("../share/zerval/translations")),
          programFolder.filePath(QStringLiteral("translations"))};
}

QString InstallTranslations(QCoreApplication& application, const QString& program) {
  return InstallTranslations(application, program, TranslationFolders());
}

QString InstallTranslations(QCoreApplication& application, const QString& program,
                            const QStringList& folders) {
  const QLocale system = QLocale::system();
  for (const QString& folder : folders) {
    auto* own = new QTranslator(&application);
    if (!own->load(system, program, QStringLiteral("_"), folder)) {
      delete own;
      continue;
    }
    application.installTranslator(own);
    // The toolkit's own texts (file dialogs), where its catalogues are installed.
    auto* toolkit = new QTranslator(&application);
    if (toolkit->load(QLocale(own->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      application.installTranslator(toolkit);
    else
      delete toolkit;
    chosenLanguage = QLocale(own->language());
    QLocale::setDefault(*chosenLanguage);
    return own->language();
  }
  return {};
}

QString FormatCount(std::int32_t number) {
  if (chosenLanguage) return chosenLanguage->toString(static_cast<qlonglong>(number));
  return QString::fromStdString(FormatThousands(number));
}
