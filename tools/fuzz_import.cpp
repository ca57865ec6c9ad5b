// Fuzzing of the Access import: damaged copies of the sample files go through the real import (the
// kolt-importar child process, its limits and the parent's checks), and every outcome is counted.
//
//   kolt-fuzz-importar [--archivos N] [--semilla S] [--muestras CARPETA] [--trabajos J]
//                      [--guardar CARPETA] [--caso K]
//
// Each file is one sample (*.mdb, *.accdb of the folder, tests/data/access unless told) damaged in
// one of four ways: flipped bits, cut short, pages swapped, or length, count and page-number fields
// set to extremes. Case K of seed S is always the same file: --caso K runs it alone (and keeps it
// with --guardar), and --guardar keeps there every file that went wrong.
//
// Each import runs in a process of its own that stands for the program: the importer child may die
// (the program must say so with a clear error), the program itself must not. Afterwards the damaged
// file must be byte-identical and the target folder empty (refused) or holding the one new
// database. Exit status 1 when the program crashed or hung, a source changed or a file was left
// behind.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "access/import.h"
#include "base/error.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

// Twice the silence limit of the import, and far beyond its processor-time budget for these small
// files: a worker still running then is the program hanging, not the importer.
constexpr auto kProgramHang = std::chrono::seconds(120);
// What a user may wait for a damaged file to be refused.
constexpr auto kPromptRefusal = std::chrono::seconds(15);

struct Options {
  std::uint64_t files = 10'000;
  std::uint64_t seed = 1;
  fs::path samples = "tests/data/access";
  unsigned jobs = 1;
  fs::path keep;
  std::optional<std::uint64_t> onlyCase;
};

struct Sample {
  std::string name;
  Bytes bytes;
};

Bytes readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("no se puede leer " + file.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("no se puede escribir " + file.string());
}

// Damage.

enum class Damage { FlippedBits, CutShort, SwappedPages, ExtremeFields };
constexpr int kDamageKinds = 4;

const char* damageName(Damage d) {
  switch (d) {
    case Damage::FlippedBits:
      return "bits invertidos";
    case Damage::CutShort:
      return "archivo cortado";
    case Damage::SwappedPages:
      return "páginas intercambiadas";
    case Damage::ExtremeFields:
      return "campos extremos";
  }
  return "?";
}

class Damager {
 public:
  Damager(Bytes& bytes, std::mt19937_64& random)
      : b_(bytes),
        random_(random),
        pageSize_(bytes.size() > 0x14 && bytes[0x14] == 0 ? 2048 : 4096),
        pages_(bytes.size() / pageSize_) {}

  void apply(Damage kind) {
    switch (kind) {
      case Damage::FlippedBits:
        flipBits();
        break;
      case Damage::CutShort:
        cutShort();
        break;
      case Damage::SwappedPages:
        swapPages();
        break;
      case Damage::ExtremeFields:
        for (std::uint64_t n = 1 + below(4); n > 0; --n) extremeField();
        break;
    }
  }

 private:
  std::uint64_t below(std::uint64_t n) { return n == 0 ? 0 : random_() % n; }

  void flipBits() {
    // Mostly past the first page: a damaged header is refused before the importer starts.
    const std::size_t from = below(10) == 0 ? 0 : std::min(b_.size(), pageSize_);
    for (std::uint64_t n = 1 + below(256); n > 0 && from < b_.size(); --n)
      b_[from + below(b_.size() - from)] ^= static_cast<unsigned char>(1u << below(8));
  }

  void cutShort() {
    std::size_t size = below(b_.size());
    if (below(2) == 0) size -= size % pageSize_;  // on a page boundary the header still looks sound
    b_.resize(size);
  }

  void swapPages() {
    if (pages_ < 3) return flipBits();
    for (std::uint64_t n = 1 + below(3); n > 0; --n) {
      const auto a = 1 + below(pages_ - 1), c = 1 + below(pages_ - 1);
      std::swap_ranges(b_.begin() + static_cast<std::ptrdiff_t>(a * pageSize_),
                       b_.begin() + static_cast<std::ptrdiff_t>((a + 1) * pageSize_),
                       b_.begin() + static_cast<std::ptrdiff_t>(c * pageSize_));
    }
  }

  // A value at the edge of what a length, count, offset or page number can hold.
  std::uint32_t extreme(int width) {
    const std::uint32_t all = width == 2 ? 0xFFFF : 0xFFFFFFFF;
    const std::uint32_t page = static_cast<std::uint32_t>(pages_);
    const std::uint32_t choices[] = {0,
                                     1,
                                     all,
                                     all >> 1,
                                     all - 1,
                                     static_cast<std::uint32_t>(pageSize_),
                                     static_cast<std::uint32_t>(pageSize_ - 1),
                                     page,
                                     page - 1,
                                     width == 2 ? 0x4000u : (page << 8),
                                     width == 2 ? 0x1FFFu : (0xFFFFFFu << 8)};
    return choices[below(std::size(choices))] & all;
  }

  void put(std::size_t at, int width, std::uint32_t value) {
    for (int i = 0; i < width && at + static_cast<std::size_t>(i) < b_.size(); ++i)
      b_[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
  }

  // Property blocks hold record lengths that libmdb follows without checking them.
  std::vector<std::size_t> propertyBlocks() const {
    std::vector<std::size_t> found;
    for (const char* magic : {"KKD", "MR2"}) {
      const unsigned char m[4] = {static_cast<unsigned char>(magic[0]),
                                  static_cast<unsigned char>(magic[1]),
                                  static_cast<unsigned char>(magic[2]), 0};
      for (auto it = b_.begin(); (it = std::search(it, b_.end(), m, m + 4)) != b_.end(); ++it)
        found.push_back(static_cast<std::size_t>(it - b_.begin()));
    }
    return found;
  }

  void extremeField() {
    if (pages_ < 2) return flipBits();
    if (below(4) == 0) {
      const auto blocks = propertyBlocks();
      if (!blocks.empty()) {
        put(blocks[below(blocks.size())] + 4, 4, extreme(4));
        return;
      }
    }
    const std::size_t page = (1 + below(pages_ - 1)) * pageSize_;
    const bool jet3 = pageSize_ == 2048;
    const std::size_t rowCount = page + (jet3 ? 8 : 12);
    switch (b_[page]) {
      case 0x01:  // data page: the row count, or one row's offset
        if (below(3) == 0)
          put(rowCount, 2, extreme(2));
        else
          put(rowCount + 2 + 2 * below(16), 2, extreme(2));
        break;
      case 0x02:  // table definition: row count, column counts, index counts, usage maps
        put(page + 8 + 2 * below(28), below(2) == 0 ? 2 : 4, extreme(below(2) == 0 ? 2 : 4));
        break;
      default:  // long values, usage maps, indexes: any aligned word
        put(page + 4 * below(pageSize_ / 4), 4, extreme(4));
        break;
    }
  }

  Bytes& b_;
  std::mt19937_64& random_;
  std::size_t pageSize_;
  std::uint64_t pages_;
};

struct Case {
  std::uint64_t number = 0;
  const Sample* sample = nullptr;
  Damage damage = Damage::FlippedBits;
  Bytes bytes;
};

Case makeCase(const std::vector<Sample>& samples, std::uint64_t seed, std::uint64_t number) {
  std::mt19937_64 random(seed * 0x9E3779B97F4A7C15ull + number);
  Case c;
  c.number = number;
  c.sample = &samples[random() % samples.size()];
  c.damage = static_cast<Damage>(random() % kDamageKinds);
  c.bytes = c.sample->bytes;
  Damager(c.bytes, random).apply(c.damage);
  return c;
}

// One import, in a process of its own.

struct Running {
  Case c;
  fs::path folder;
  fs::path source;
  pid_t pid = 0;
  int resultFd = -1;
  Clock::time_point started;
};

// In the worker: the import as the program does it, the outcome as one line on `fd`.
[[noreturn]] void importAndReport(const fs::path& source, const fs::path& target, int fd) {
  std::string line;
  try {
    const auto summary = kolt::access::importAccess(source, target);
    line = "I\t" + std::to_string(summary.rows);
  } catch (const kolt::base::Error& e) {
    line = "R\t" + std::to_string(e.number()) + "\t" + e.description();
  } catch (const std::exception& e) {
    line = "X\t" + std::string(e.what());
  }
  const char* data = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n <= 0) _exit(3);
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  _exit(0);
}

Running start(Case c, const fs::path& work) {
  Running r;
  r.folder = work / ("caso-" + std::to_string(c.number));
  fs::create_directories(r.folder / "salida");
  r.source = r.folder / ("origen" + fs::path(c.sample->name).extension().string());
  writeFile(r.source, c.bytes);
  r.c = std::move(c);
  int fds[2];
  // Close-on-exec, so that the importer the worker starts does not hold the worker's result open.
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  std::fflush(nullptr);
  r.started = Clock::now();
  r.pid = ::fork();
  if (r.pid < 0) throw std::runtime_error("fork");
  if (r.pid == 0) {
    ::close(fds[0]);
    importAndReport(r.source, r.folder / "salida" / "destino.db", fds[1]);
  }
  ::close(fds[1]);
  r.resultFd = fds[0];
  return r;
}

std::string causeNamedIn(const std::string& description) {
  if (description.find("se detuvo") != std::string::npos) return "límite de trabajo o de tiempo";
  if (description.find("memoria") != std::string::npos) return "límite de memoria";
  const auto open = description.rfind(" (tabla ");
  if (open != std::string::npos) {
    const auto colon = description.find(": ", open);
    if (colon != std::string::npos)
      return description.substr(colon + 2, description.size() - colon - 3);
  }
  if (description.find("no es una base de datos de Access") != std::string::npos)
    return "no se pudo abrir (o el importador terminó sin decir por qué)";
  return description;
}

// ---- Tally
// ----------------------------------------------------------------------------------------

struct Tally {
  std::uint64_t files = 0, imported = 0, refused = 0;
  std::map<long, std::pair<std::uint64_t, std::string>> byError;  // count, first description
  std::map<std::string, std::uint64_t> byReason;
  std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> byDamage;  // imported, refused
  double slowest = 0, slowestCpu = 0;  // wall-clock and processor seconds
  std::string slowestWhat;
  double mostCpu = 0;  // the most processor time any refusal took
  std::uint64_t slowRefusals = 0;
  std::vector<std::string> faults;  // crashes, hangs, unexpected exceptions: the program's own
  std::uint64_t changed = 0, leftBehind = 0;
};

// The cause named in the description, without the file and table names and the counts that vary.
std::string reasonOf(const std::string& description, const fs::path& caseFolder) {
  std::string reason = causeNamedIn(description);
  // The case's own files are named by path: one word for all of them.
  const std::string folder = caseFolder.string();
  for (std::size_t at; (at = reason.find(folder)) != std::string::npos;) {
    const auto end = reason.find_first_of(" ,", at);
    reason.replace(at, end == std::string::npos ? std::string::npos : end - at, "{archivo}");
  }
  std::string plain;
  for (char c : reason)
    if (!std::isdigit(static_cast<unsigned char>(c)) || plain.empty() || plain.back() != 'N')
      plain += std::isdigit(static_cast<unsigned char>(c)) ? 'N' : c;
  return plain;
}

std::string describe(const Case& c) {
  return "caso " + std::to_string(c.number) + ", " + damageName(c.damage) + " en " + c.sample->name;
}

void finish(Running& r, int status, bool hung, double cpu, Tally& t, const Options& options) {
  const double seconds = std::chrono::duration<double>(Clock::now() - r.started).count();
  std::string line;
  char buffer[4096];
  for (ssize_t n; (n = ::read(r.resultFd, buffer, sizeof buffer)) > 0;)
    line.append(buffer, static_cast<std::size_t>(n));
  ::close(r.resultFd);

  bool wrong = false;
  auto fault = [&](const std::string& what) {
    t.faults.push_back(describe(r.c) + ": " + what);
    wrong = true;
  };
  ++t.files;
  auto& perDamage = t.byDamage[damageName(r.c.damage)];
  if (hung) {
    fault("el programa no terminó en " + std::to_string(kProgramHang.count()) + " s");
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fault(WIFSIGNALED(status)
              ? "el programa terminó por la señal " + std::to_string(WTERMSIG(status))
              : "el programa salió con " + std::to_string(WEXITSTATUS(status)));
  } else if (line.rfind("I\t", 0) == 0) {
    ++t.imported;
    ++perDamage.first;
  } else if (line.rfind("R\t", 0) == 0) {
    ++t.refused;
    ++perDamage.second;
    const auto tab = line.find('\t', 2);
    const std::string description = line.substr(tab + 1);
    auto& error = t.byError[std::strtol(line.c_str() + 2, nullptr, 10)];
    if (error.first++ == 0) error.second = description;
    ++t.byReason[reasonOf(description, r.folder)];
    if (seconds > t.slowest) {
      t.slowest = seconds;
      t.slowestCpu = cpu;
      t.slowestWhat = describe(r.c) + ": " + description;
    }
    t.mostCpu = std::max(t.mostCpu, cpu);
    if (seconds > std::chrono::duration<double>(kPromptRefusal).count()) {
      ++t.slowRefusals;
      wrong = true;
    }
  } else {
    fault("error inesperado: " + line.substr(std::min<std::size_t>(2, line.size())));
  }

  std::error_code ec;
  if (!fs::exists(r.source, ec) || readFile(r.source) != r.c.bytes) {
    ++t.changed;
    wrong = true;
  }
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(r.folder / "salida"))
    left.push_back(entry.path().filename().string());
  const bool importedOk = line.rfind("I\t", 0) == 0;
  if (left != (importedOk ? std::vector<std::string>{"destino.db"} : std::vector<std::string>{})) {
    ++t.leftBehind;
    wrong = true;
  }
  if ((wrong || options.onlyCase) && !options.keep.empty()) {
    fs::create_directories(options.keep);
    fs::copy_file(r.source,
                  options.keep / ("caso-" + std::to_string(r.c.number) + "-" + r.c.sample->name),
                  fs::copy_options::overwrite_existing, ec);
  }
  fs::remove_all(r.folder, ec);
}

void run(const Options& options, const std::vector<Sample>& samples, const fs::path& work,
         Tally& t) {
  std::vector<std::uint64_t> numbers;
  if (options.onlyCase) {
    numbers.push_back(*options.onlyCase);
  } else {
    for (std::uint64_t i = 0; i < options.files; ++i) numbers.push_back(i);
  }
  std::vector<Running> running;
  std::size_t next = 0;
  auto lastNote = Clock::now();
  while (next < numbers.size() || !running.empty()) {
    while (running.size() < options.jobs && next < numbers.size())
      running.push_back(start(makeCase(samples, options.seed, numbers[next++]), work));
    bool progressed = false;
    for (std::size_t i = 0; i < running.size();) {
      int status = 0;
      rusage usage{};  // the worker's and the importer's it waited for
      const pid_t done = ::wait4(running[i].pid, &status, WNOHANG, &usage);
      const bool hung = done == 0 && Clock::now() - running[i].started > kProgramHang;
      if (hung) {
        ::kill(running[i].pid, SIGKILL);
        ::wait4(running[i].pid, &status, 0, &usage);
      }
      if (done == running[i].pid || hung) {
        const double cpu =
            static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        finish(running[i], status, hung, cpu, t, options);
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        progressed = true;
      } else {
        ++i;
      }
    }
    if (!progressed) ::usleep(2000);
    if (Clock::now() - lastNote > std::chrono::seconds(30)) {
      std::fprintf(stderr,
                   "... %llu de %zu archivos: %llu importados, %llu rechazados, %zu fallos del "
                   "programa, rechazo más lento %.2f s (%.2f s de procesador)\n",
                   static_cast<unsigned long long>(t.files), numbers.size(),
                   static_cast<unsigned long long>(t.imported),
                   static_cast<unsigned long long>(t.refused), t.faults.size(), t.slowest,
                   t.slowestCpu);
      lastNote = Clock::now();
    }
  }
}

bool samplesUnchanged(const std::vector<Sample>& samples, const fs::path& folder) {
  for (const auto& s : samples)
    if (readFile(folder / s.name) != s.bytes) return false;
  return true;
}

int usage() {
  std::fprintf(stderr,
               "uso: kolt-fuzz-importar [--archivos N] [--semilla S] [--muestras CARPETA] "
               "[--trabajos J] [--guardar CARPETA] [--caso K]\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return usage();
    const char* value = argv[++i];
    if (arg == "--archivos")
      options.files = std::strtoull(value, nullptr, 10);
    else if (arg == "--semilla")
      options.seed = std::strtoull(value, nullptr, 10);
    else if (arg == "--muestras")
      options.samples = value;
    else if (arg == "--trabajos")
      options.jobs = std::max(1u, static_cast<unsigned>(std::strtoul(value, nullptr, 10)));
    else if (arg == "--guardar")
      options.keep = value;
    else if (arg == "--caso")
      options.onlyCase = std::strtoull(value, nullptr, 10);
    else
      return usage();
  }

  try {
    std::vector<Sample> samples;
    for (const auto& entry : fs::directory_iterator(options.samples)) {
      const auto ext = entry.path().extension();
      if (ext == ".mdb" || ext == ".accdb")
        samples.push_back({entry.path().filename().string(), readFile(entry.path())});
    }
    if (samples.empty()) {
      std::fprintf(stderr, "No hay archivos .mdb ni .accdb en %s\n", options.samples.c_str());
      return 2;
    }
    // Sorted, so that a seed means the same files on every machine.
    std::sort(samples.begin(), samples.end(),
              [](const Sample& a, const Sample& b) { return a.name < b.name; });

    char pattern[] = "/tmp/kolt-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
    const fs::path work = pattern;
    Tally t;
    const auto began = Clock::now();
    run(options, samples, work, t);
    const double elapsed = std::chrono::duration<double>(Clock::now() - began).count();
    std::error_code ec;
    fs::remove_all(work, ec);
    const bool samplesIntact = samplesUnchanged(samples, options.samples);

    std::printf("kolt-fuzz-importar: %llu archivos de %zu muestras, semilla %llu, %.0f s\n",
                static_cast<unsigned long long>(t.files), samples.size(),
                static_cast<unsigned long long>(options.seed), elapsed);
    std::printf("  importados:             %llu\n", static_cast<unsigned long long>(t.imported));
    std::printf("  rechazados:             %llu\n", static_cast<unsigned long long>(t.refused));
    for (const auto& [number, error] : t.byError)
      std::printf("    error %-6ld          %llu  (p. ej. %s)\n", number,
                  static_cast<unsigned long long>(error.first), error.second.c_str());
    std::printf("  motivos de rechazo:\n");
    for (const auto& [reason, count] : t.byReason)
      std::printf("    %6llu  %s\n", static_cast<unsigned long long>(count), reason.c_str());
    std::printf("  por daño (importados / rechazados):\n");
    for (const auto& [damage, counts] : t.byDamage)
      std::printf("    %-24s %llu / %llu\n", damage.c_str(),
                  static_cast<unsigned long long>(counts.first),
                  static_cast<unsigned long long>(counts.second));
    std::printf("  rechazo más lento:      %.2f s de reloj, %.2f s de procesador (%s)\n", t.slowest,
                t.slowestCpu, t.slowestWhat.c_str());
    std::printf("  máximo procesador en un rechazo: %.2f s\n", t.mostCpu);
    std::printf("  rechazos de más de %lld s: %llu\n",
                static_cast<long long>(kPromptRefusal.count()),
                static_cast<unsigned long long>(t.slowRefusals));
    std::printf("  fallos del programa:    %zu\n", t.faults.size());
    for (const auto& f : t.faults) std::printf("    %s\n", f.c_str());
    std::printf("  archivos alterados:     %llu de %llu (muestras originales %s)\n",
                static_cast<unsigned long long>(t.changed),
                static_cast<unsigned long long>(t.files),
                samplesIntact ? "idénticas" : "ALTERADAS");
    std::printf("  archivos dejados atrás: %llu\n", static_cast<unsigned long long>(t.leftBehind));
    const bool sound = t.faults.empty() && t.changed == 0 && t.leftBehind == 0 && samplesIntact;
    return sound ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kolt-fuzz-importar: %s\n", e.what());
    return 2;
  }
}
