#include "access/access_header.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "access/jet_header.h"
#include "base/error.h"
#include "base/failure_words.h"
#include "base/platform/paths.h"

namespace kolt::access {
namespace {

using namespace jet_header;

constexpr std::size_t kMinimumHeader = kMaskedStart + kMaskedLength;

bool hasPassword(std::vector<unsigned char> page, int version) {
  jet_header::toggleMask(page.data());
  const std::size_t length = version == 0 ? 20 : 40;
  std::array<unsigned char, 4> mask{};
  if (version != 0) {
    // Jet4 and later further mask the password with the creation date's whole part.
    double created = 0;
    std::memcpy(&created, page.data() + kCreationDateOffset, sizeof created);
    const auto whole = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
    for (std::size_t i = 0; i < 4; ++i) mask[i] = static_cast<unsigned char>(whole >> (8 * i));
  }
  for (std::size_t i = 0; i < length; ++i)
    if ((page[kPasswordOffset + i] ^ mask[i % 4]) != 0) return true;
  return false;
}

}  // namespace

std::string AccessHeader::formatName() const {
  switch (version) {
    case 0:
      return "JET3";
    case 1:
      return "JET4";
    case 2:
      return "ACE12";
    case 3:
      return "ACE14";
    case 4:
      return "ACE15";
    case 5:
      return "ACE16";
    case 6:
      return "ACE17";
    default:
      return "ACE" + std::to_string(version);
  }
}

std::string notAccessFileMessage(const std::filesystem::path& file) {
  return "El archivo " + platform::utf8(file) +
         " no es una base de datos de Access o está dañado. Ábralo en Access y use «Compactar y "
         "reparar», o elija otro archivo.";
}

std::string missingFileMessage(const std::filesystem::path& file) {
  return "No se encuentra el archivo " + platform::utf8(file) +
         ". Compruebe la ruta y vuelva a elegir la base de datos.";
}

AccessHeader readAccessHeader(const std::filesystem::path& file) {
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (!std::filesystem::exists(status)) throw base::Error(base::kErrFile, missingFileMessage(file));
  if (!std::filesystem::is_regular_file(status))
    throw base::Error(base::kErrFile,
                      "La ruta " + platform::utf8(file) +
                          " no es un archivo de base de datos. Elija un archivo .mdb o .accdb.");
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw base::Error(base::kErrFile,
                      "No se puede leer el archivo " + platform::utf8(file) +
                          ". Compruebe que tiene permiso de lectura y que ningún otro "
                          "programa lo tiene bloqueado.",
                      base::detailOf(file, std::strerror(errno)));
  }
  AccessHeader header;
  header.fileSize = std::filesystem::file_size(file, ec);
  std::vector<unsigned char> page(4096);
  in.read(reinterpret_cast<char*>(page.data()), static_cast<std::streamsize>(page.size()));
  page.resize(static_cast<std::size_t>(in.gcount()));

  static constexpr unsigned char kJet[] = "\x00\x01\x00\x00Standard Jet DB";
  static constexpr unsigned char kAce[] = "\x00\x01\x00\x00Standard ACE DB";
  const bool magic =
      page.size() >= kMinimumHeader && (std::memcmp(page.data(), kJet, sizeof kJet - 1) == 0 ||
                                        std::memcmp(page.data(), kAce, sizeof kAce - 1) == 0);
  if (!magic) throw base::Error(base::kErrNotAccessFile, notAccessFileMessage(file));

  header.version = page[kVersionOffset];
  if (header.version > 6) throw base::Error(base::kErrNotAccessFile, notAccessFileMessage(file));
  header.pageSize = header.version == 0 ? 2048 : 4096;
  // An Access file is whole pages, at least the header page and the catalogue's.
  if (header.fileSize < 2u * static_cast<unsigned>(header.pageSize) ||
      header.fileSize % static_cast<unsigned>(header.pageSize) != 0)
    throw base::Error(base::kErrNotAccessFile, notAccessFileMessage(file));
  page.resize(std::min<std::size_t>(page.size(), static_cast<std::size_t>(header.pageSize)));

  std::vector<unsigned char> unmasked = page;
  jet_header::toggleMask(unmasked.data());
  header.codePage = unmasked[kCodePageOffset] | (unmasked[kCodePageOffset + 1] << 8);
  header.passwordProtected = hasPassword(page, header.version);
  header.firstPage = std::move(page);
  if (header.passwordProtected) {
    throw base::Error(base::kErrAccessPassword,
                      "La base de datos " + platform::utf8(file) +
                          " está protegida con contraseña. Ábrala en Access, quite la contraseña "
                          "(Archivo > Información > Descifrar base de datos) y vuelva a elegirla.");
  }
  return header;
}

bool isEngineDatabase(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  char magic[16] = {};
  in.read(magic, sizeof magic);
  return in.gcount() == sizeof magic && std::memcmp(magic, "SQLite format 3\0", 16) == 0;
}

}  // namespace kolt::access
