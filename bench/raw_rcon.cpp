// A plain blocking TCP console client for the benchmarks: what the wire itself costs. Connects
// to 127.0.0.1:PORT, authenticates, runs COMMAND followed by an empty marker, reads up to the
// mirrored marker, and writes the output to standard output and the microseconds from the
// connect to the marker to standard error.
// Usage: zerval-bench-rcon PORT PASSWORD COMMAND
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Packet {
  std::int32_t id = 0;
  std::int32_t type = 0;
  std::string body;
};

std::string Encode(std::int32_t id, std::int32_t type, const std::string& body) {
  std::string packet(12, '\0');
  const std::int32_t fields[3] = {std::int32_t(body.size() + 10), id, type};
  std::memcpy(packet.data(), fields, sizeof fields);
  return packet + body + std::string(2, '\0');
}

bool ReadAll(int fd, char* into, std::size_t size) {
  while (size > 0) {
    const ssize_t count = ::recv(fd, into, size, 0);
    if (count <= 0) return false;
    into += count;
    size -= std::size_t(count);
  }
  return true;
}

bool Next(int fd, Packet& packet) {
  std::int32_t header[3];
  if (!ReadAll(fd, reinterpret_cast<char*>(header), sizeof header)) return false;
  if (header[0] < 10 || header[0] > 4106) return false;
  std::string rest(std::size_t(header[0]) - 8, '\0');
  if (!ReadAll(fd, rest.data(), rest.size())) return false;
  packet = {header[1], header[2], rest.substr(0, rest.size() - 2)};
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: zerval-bench-rcon PORT PASSWORD COMMAND\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(std::uint16_t(std::atoi(argv[1])));
  server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) return 1;
  const std::string auth = Encode(1, 3, argv[2]);
  ::send(fd, auth.data(), auth.size(), 0);
  Packet packet;
  do {
    if (!Next(fd, packet)) return 1;
  } while (packet.type != 2);
  if (packet.id != 1) return 3;
  const std::string command = Encode(2, 2, argv[3]) + Encode(3, 0, "");
  ::send(fd, command.data(), command.size(), 0);
  std::string output;
  while (Next(fd, packet) && packet.id != 3)
    if (packet.id == 2) output += packet.body;
  const auto end = std::chrono::steady_clock::now();
  ::close(fd);
  if (packet.id != 3) return 1;
  std::fwrite(output.data(), 1, output.size(), stdout);
  std::fprintf(stderr, "%lld\n",
               static_cast<long long>(
                   std::chrono::duration_cast<std::chrono::microseconds>(end - start).count()));
  return 0;
}
