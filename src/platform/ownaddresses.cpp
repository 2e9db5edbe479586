#include "platform/ownaddresses.h"

#include <QHostAddress>
#include <QNetworkInterface>

std::vector<std::string> OwnIPv4Addresses() {
  std::vector<std::string> addresses;
  for (const QHostAddress& address : QNetworkInterface::allAddresses())
    if (address.protocol() == QAbstractSocket::IPv4Protocol)
      addresses.push_back(address.toString().toStdString());
  return addresses;
}

std::optional<std::string> ChatLogAddress() {
  const std::vector<std::string> addresses = OwnIPv4Addresses();
  if (addresses.empty()) return std::nullopt;
  return addresses.size() >= 2 ? addresses[1] : addresses[0];
}
