// kolt-importar: the child process that reads one Access file into a new engine database.
//
//   kolt-importar --progress-fd N SOURCE TARGET [TABLE...]
//   kolt-importar --progress-fd N --en-memoria SOURCE [TABLE...]
//
// The second form writes no file: the database is built in memory and sent whole, as "imagen"
// lines, before "fin" (for a reading that must leave no copy of the file anywhere).
//
// It runs apart from the program because libmdb can fault on a damaged file: a crash here is one
// clear error for the parent, never the end of the program. Progress and the outcome go to file
// descriptor N as the lines of progress_protocol.h; exit status 0 together with "fin" is success.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "access/access_header.h"
#include "access/bulk_loader.h"
#include "access/mdb_reader.h"
#include "access/progress_protocol.h"
#include "base/error.h"
#include "base/names.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"

namespace {

using kolt::access::ProgressEvent;

constexpr unsigned kOpeningSeconds = 1;

class Channel {
 public:
  explicit Channel(int fd) : fd_(fd) {}
  void send(const ProgressEvent& event) const {
    // The parent is gone or has given up: nobody will use what we would write.
    if (!kolt::platform::writeToChannel(fd_, kolt::access::encodeEvent(event) + "\n"))
      std::_Exit(5);
  }

 private:
  int fd_;
};

int run(const Channel& channel, const std::filesystem::path& sourceFile,
        const std::filesystem::path& target, const std::vector<std::string>& wanted) {
  const std::string source = kolt::platform::utf8(sourceFile);
  using Clock = std::chrono::steady_clock;
  const auto header = kolt::access::readAccessHeader(sourceFile);
  // Opening reads the catalogue only, whatever the file's size, yet a damaged property block can
  // keep libmdb parsing it without end: a second or two of processor time must do.
  std::optional<kolt::platform::CpuBudget> opening(std::in_place, kOpeningSeconds);
  kolt::access::MdbReader reader(sourceFile);
  opening.reset();

  std::vector<kolt::access::SourceTable> tables;
  if (wanted.empty()) {
    tables = reader.tables();
  } else {
    for (const auto& name : wanted) {
      const kolt::access::SourceTable* found = nullptr;
      for (const auto& t : reader.tables())
        if (kolt::base::sameName(t.name, name)) found = &t;
      if (found == nullptr)
        throw kolt::base::Error(kolt::base::kErrNoSuchTable,
                                "La tabla " + name + " no existe en " + source +
                                    ". Compruebe que eligió la base de datos correcta.");
      tables.push_back(*found);
    }
  }
  std::int64_t expected = 0;
  for (const auto& t : tables) expected += static_cast<std::int64_t>(t.rowEstimate);
  channel.send({ProgressEvent::Kind::Start, header.formatName(), 0,
                static_cast<std::int64_t>(tables.size()), expected});

  // An empty target: in memory.
  kolt::access::BulkLoader loader(target);
  std::int64_t total = 0;
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const std::int64_t index = static_cast<std::int64_t>(i) + 1;
    channel.send({ProgressEvent::Kind::Table, tables[i].name, index,
                  static_cast<std::int64_t>(tables[i].rowEstimate), 0});
    std::int64_t rows = 0;
    auto lastReport = Clock::now();
    reader.readTable(
        tables[i].name,
        [&](const std::vector<kolt::access::SourceColumn>& columns) {
          loader.beginTable(tables[i].name, columns);
        },
        [&](const std::vector<kolt::base::Value>& row) {
          loader.insert(row);
          // A few reports a second are enough for a progress bar, and they prove the child alive.
          if ((++rows & 1023) == 0 && Clock::now() - lastReport > std::chrono::milliseconds(200)) {
            channel.send({ProgressEvent::Kind::Rows, {}, index, rows, 0});
            lastReport = Clock::now();
          }
        });
    channel.send({ProgressEvent::Kind::Rows, {}, index, rows, 0});
    total += rows;
  }
  if (target.empty()) {
    // In pieces of a few hundred kilobytes: no line the parent reads grows without bound.
    constexpr std::size_t kPiece = 256 * 1024;
    const std::string image = loader.takeImage();
    for (std::size_t at = 0; at < image.size(); at += kPiece)
      channel.send({ProgressEvent::Kind::Image, image.substr(at, kPiece), 0, 0, 0});
  } else {
    loader.finish();
  }
  channel.send({ProgressEvent::Kind::End, {}, 0, total, 0});
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  kolt::platform::startAsChild();
  const std::vector<std::string> args = kolt::platform::commandLineArguments(argc, argv);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(
        "Uso: kolt-importar --progress-fd N ORIGEN DESTINO [TABLA]...\n"
        "     kolt-importar --progress-fd N --en-memoria ORIGEN [TABLA]...\n"
        "Lee un archivo de Access en una base nueva del motor, informando del avance en el\n"
        "descriptor N. Lo arranca el programa; no hace falta usarlo a mano.\n",
        stdout);
    return 0;
  }
  if (args.size() < 4 || args[0] != "--progress-fd") {
    std::fprintf(stderr, "uso: kolt-importar --progress-fd N ORIGEN DESTINO [TABLA...]\n");
    return 64;
  }
  const Channel channel(std::atoi(args[1].c_str()));
  const bool inMemory = args[2] == "--en-memoria";
  const std::string& source = args[inMemory ? 3 : 2];
  const std::filesystem::path target =
      inMemory ? std::filesystem::path() : kolt::platform::pathFromUtf8(args[3]);
  const std::vector<std::string> wanted(args.begin() + 4, args.end());
  try {
    return run(channel, kolt::platform::pathFromUtf8(source), target, wanted);
  } catch (const kolt::base::Error& e) {
    channel.send({ProgressEvent::Kind::Error, e.description(), e.number(), 0, 0, e.detail()});
    return 2;
  } catch (const std::bad_alloc&) {
    // Within the memory limit only a damaged file (a value claiming an absurd length) gets here.
    channel.send({ProgressEvent::Kind::Error,
                  "La lectura de " + source +
                      " necesitó más memoria de la permitida. El archivo puede estar dañado; "
                      "ábralo en Access y use «Compactar y reparar», o elija otro archivo.",
                  kolt::base::kErrNotAccessFile, 0, 0});
    return 3;
  }
}
