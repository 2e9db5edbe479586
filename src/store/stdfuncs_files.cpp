#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/mytypes.h"
#include "store/stdfuncs.h"

namespace {

std::string LocalName(const QString& fileName) {
  return fileName.toLocal8Bit().toStdString();
}

EZerval FileError(const char* what, const QString& fileName) {
  return EZerval(std::string(what) + " " + LocalName(fileName));
}

// Unbuffered, so every failed write is seen here: a write error met while the buffer is flushed
// inside commit() would go unnoticed, and the cut file would replace the old one.
void OpenForSave(QSaveFile& file, const QString& fileName) {
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    throw FileError("Cannot create file", fileName);
}

// Replaces the file only once all bytes are written, so a failed save keeps the old file.
void WriteWholeFile(QSaveFile& file, const std::string& bytes, const QString& fileName) {
  const auto size = static_cast<qint64>(bytes.size());
  if (file.write(bytes.data(), size) != size) {
    file.cancelWriting();
    throw FileError("Cannot write file", fileName);
  }
  if (!file.commit()) throw FileError("Cannot write file", fileName);
}

QByteArray ReadFile(const QString& fileName, qint64 maxSize) {
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

void ServerListFromBytes(std::string_view bytes, TServerList& list, const QString& fileName) {
  list = ParseServerList(bytes, LocalName(fileName));
}

void SaveServerList(const TServerList& list, const QString& fileName) {
  QSaveFile file(fileName);
  OpenForSave(file, fileName);
  WriteWholeFile(file, ServerListToBytes(list), fileName);
}

void LoadServerList(TServerList& list, const QString& fileName) {
  ServerListFromBytes(ReadServerListFile(LocalName(fileName)), list, fileName);
}

void DeleteServer(TServerList& list, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= list.size())
    throw EZerval("Server index out of range: " + std::to_string(index));
  list.erase(list.begin() + index);
}

void SaveOptions(TOptions& options, const QString& fileName) {
  QSaveFile file(fileName);
  OpenForSave(file, fileName);
  options.StandardListFile = Trim(options.StandardListFile.view());
  WriteWholeFile(file, OptionsToBytes(options), fileName);
}

void LoadOptions(TOptions& options, const QString& fileName) {
  OptionsFromBytes(View(ReadFile(fileName, OptionsFileSize)), options);
}
