#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/mytypes.h"
#include "store/savefiles.h"
#include "store/stdfuncs.h"

namespace {

std::string LocalName(const QString& fileName) {
  return QFile::encodeName(fileName).toStdString();
}

EZerval FileError(const char* what, const QString& fileName) {
  return EZerval(std::string(what) + " " + LocalName(fileName));
}

// What a save writes to: the file a symbolic link points at, as QSaveFile replaces that.
QFileInfo SaveTarget(const QString& fileName) {
  QFileInfo target(fileName);
  for (int hops = 0; target.isSymLink() && hops < 40; ++hops)
    target.setFile(target.symLinkTarget());
  return target;
}

// A folder that takes no new file leaves only rewriting the file in place, which must then
// exist and be writable: checked before any file is opened, as opening such a file for
// rewriting already empties it.
void CheckWritable(const TFileContents& file) {
  const QFileInfo target = SaveTarget(file.FileName);
  if (QFileInfo(target.absolutePath()).isWritable()) return;
  if (!target.isFile() || !target.isWritable())
    throw FileError("Cannot create file", file.FileName);
}

// Unbuffered, so every failed write is seen here: a write error met while the buffer is flushed
// inside commit() would go unnoticed, and the cut file would replace the old one.
std::unique_ptr<QSaveFile> OpenForSave(const TFileContents& file) {
  const bool isNew = !QFileInfo::exists(file.FileName);
  auto save = std::make_unique<QSaveFile>(file.FileName);
  save->setDirectWriteFallback(true);
  if (!save->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    throw FileError("Cannot create file", file.FileName);
  if (file.OwnerOnly && isNew &&
      !save->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
    throw FileError("Cannot create file", file.FileName);
  return save;
}

QByteArray ReadFile(const QString& fileName, qint64 maxSize) {
  // Anything but a regular file could block the reader for ever (a FIFO) or never end.
  if (!QFileInfo(fileName).isFile()) throw FileError("Cannot open file", fileName);
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) throw FileError("Cannot open file", fileName);
  QByteArray bytes = file.read(maxSize);
  if (file.error() != QFileDevice::NoError) throw FileError("Cannot read file", fileName);
  return bytes;
}

std::string_view View(const QByteArray& bytes) {
  return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

void SaveFilesTogether(const std::vector<TFileContents>& files) {
  for (const TFileContents& file : files) CheckWritable(file);
  // Files not committed are dropped with their temporary files when these go.
  std::vector<std::unique_ptr<QSaveFile>> saves;
  for (const TFileContents& file : files) saves.push_back(OpenForSave(file));
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto size = static_cast<qint64>(files[i].Bytes.size());
    if (saves[i]->write(files[i].Bytes.data(), size) != size)
      throw FileError("Cannot write file", files[i].FileName);
  }
  for (std::size_t i = 0; i < files.size(); ++i)
    if (!saves[i]->commit()) throw FileError("Cannot write file", files[i].FileName);
}

void ServerListFromBytes(std::string_view bytes, TServerList& list, const QString& fileName) {
  list = ParseServerList(bytes, LocalName(fileName));
}

void SaveServerList(const TServerList& list, const QString& fileName) {
  SaveFilesTogether({{fileName, ServerListToBytes(list), true}});
}

void LoadServerList(TServerList& list, const QString& fileName) {
  list = ParseServerList(ReadListFileBytes(LocalName(fileName)), LocalName(fileName));
}

void DeleteServer(TServerList& list, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= list.size())
    throw EZerval("Server index out of range: " + std::to_string(index));
  list.erase(list.begin() + index);
}

void SaveOptions(TOptions& options, const QString& fileName) {
  SaveOptions(options, fileName, {});
}

void SaveOptions(TOptions& options, const QString& fileName,
                 const std::vector<TFileContents>& alongside) {
  TOptions trimmed = options;
  trimmed.StandardListFile = Trim(options.StandardListFile.view());
  std::vector<TFileContents> files = {{fileName, OptionsToBytes(trimmed)}};
  files.insert(files.end(), alongside.begin(), alongside.end());
  SaveFilesTogether(files);
  options.StandardListFile = trimmed.StandardListFile;
}

void LoadOptions(TOptions& options, const QString& fileName) {
  OptionsFromBytes(View(ReadFile(fileName, OptionsFileSize)), options);
}
