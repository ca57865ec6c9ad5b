#include "cli/arguments.h"

#include <stdexcept>

namespace kolt::cli {

const char* const kUsage =
    "Uso: kolt-validar ORIGEN [--desde dd/mm/aaaa] [--hasta dd/mm/aaaa] [--unidad CLUES]...\n"
    "                  [--catalogo ARCHIVO] [--resultados CARPETA] [--traza ARCHIVO] [--tiempos]\n"
    "                  [--hilos N] [--reglas ARCHIVO]\n"
    "     kolt-validar --unidades ORIGEN\n"
    "     kolt-validar --comprobar-reglas ARCHIVO\n"
    "     kolt-validar --historial [CARPETA]\n"
    "\n"
    "Valida la base de datos de egresos ORIGEN (.mdb, .accdb o base del programa) con las 113\n"
    "reglas y deja en la carpeta de resultados un libro Val{CLUES}.xls por unidad con\n"
    "hallazgos, el resumen ResultadosVal.xls, los hallazgos por unidad y por regla\n"
    "Hallazgos.xls y el registro de fallos Validacion.log. La carpeta de resultados es\n"
    "RESULTADOS en la carpeta del programa o, si el programa está instalado,\n"
    "~/.local/share/validaciones-kolt/RESULTADOS.\n"
    "\n"
    "  --desde, --hasta  periodo de egresos (ambos incluidos); sin ellos, todo\n"
    "  --unidad CLUES    unidad a validar (repetible); sin ella, todas las de la lista.\n"
    "                    La clave, como la muestra --unidades, con sus espacios (entre comillas)\n"
    "  --catalogo        base de catálogos (por omisión ValidacionesKOLT.mdb o .db del programa)\n"
    "  --resultados      carpeta de los resultados (por omisión la de arriba)\n"
    "  --traza ARCHIVO   escribe cada instrucción ejecutada, una por línea\n"
    "  --tiempos         al final, el tiempo de copia, de reglas y de escritura de libros\n"
    "  --hilos N         unidades validadas a la vez (por omisión, una por núcleo); los\n"
    "                    resultados no dependen de N\n"
    "  --unidades        muestra la lista de unidades (CLUES  Nombre) y termina; las de\n"
    "                    EGRESO que faltan en CATCLUES salen marcadas (no está en CATCLUES)\n"
    "  --reglas ARCHIVO  reglas adicionales de la oficina, de la 114 en adelante (por omisión\n"
    "                    ReglasAdicionales.toml del programa o de la carpeta del usuario)\n"
    "  --comprobar-reglas ARCHIVO  revisa las reglas adicionales y dice de cada una si es\n"
    "                    correcta o su error, sin validar nada\n"
    "  --historial [CARPETA]  lista las validaciones guardadas en la carpeta de resultados\n"
    "                    (Historial.db), de la más reciente a la más antigua\n"
    "\n"
    "Fuera de una terminal escribe en la salida de errores una línea por unidad terminada.\n"
    "Ctrl-C detiene la validación: las unidades terminadas conservan sus resultados.\n"
    "\n"
    "Estado de salida: 0 validación terminada, 1 validación interrumpida por un error (o\n"
    "sin su resumen Hallazgos.xls), 2 uso incorrecto, 3 validación terminada sin egresos en\n"
    "el periodo en ninguna unidad (SIN EGRESOS: no se revisó nada), 130 validación detenida\n"
    "con Ctrl-C.\n";

const char* const kHelpHint = "kolt-validar --help para la ayuda";

namespace {

unsigned threadCount(const std::string& text) {
  std::size_t used = 0;
  unsigned long n = 0;
  try {
    n = std::stoul(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || text[0] == '-' || n < 1 || n > 256)
    throw std::invalid_argument("--hilos espera un número de 1 a 256, no '" + text + "'.");
  return static_cast<unsigned>(n);
}

// A date as the window's date boxes hold one, which is all the run's date checks read: a text of
// another form would only be called invalid, without the user learning what form is wanted. Refused
// here, before anything is opened or imported.
std::string dateText(const std::string& option, const std::string& text) {
  bool shaped = text.size() == 10;
  for (std::size_t i = 0; shaped && i < text.size(); ++i)
    shaped = (i == 2 || i == 5) ? text[i] == '/' : text[i] >= '0' && text[i] <= '9';
  if (!shaped)
    throw std::invalid_argument(option + " espera una fecha dd/mm/aaaa (por ejemplo 01/03/2023), " +
                                "no '" + text + "'.");
  return text;
}

}  // namespace

Arguments parseArguments(const std::vector<std::string>& args) {
  Arguments a;
  auto value = [&](std::size_t& i) -> std::string {
    if (i + 1 >= args.size()) throw std::invalid_argument("Falta el valor de " + args[i] + ".");
    return args[++i];
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h" || arg == "--ayuda")
      a.help = true;
    else if (arg == "--unidades")
      a.listUnits = true;
    else if (arg == "--desde")
      a.from = dateText(arg, value(i));
    else if (arg == "--hasta")
      a.to = dateText(arg, value(i));
    else if (arg == "--unidad")
      a.units.push_back(value(i));
    else if (arg == "--catalogo")
      a.catalogue = value(i);
    else if (arg == "--resultados")
      a.resultsFolder = value(i);
    else if (arg == "--traza")
      a.trace = value(i);
    else if (arg == "--tiempos")
      a.times = true;
    else if (arg == "--hilos")
      a.threads = threadCount(value(i));
    else if (arg == "--reglas")
      a.officeRules = value(i);
    else if (arg == "--comprobar-reglas")
      a.checkRules = value(i);
    else if (arg == "--historial")
      a.history = i + 1 < args.size() && !args[i + 1].starts_with("--") ? args[++i] : "";
    else if (arg.starts_with("--"))
      throw std::invalid_argument("Opción desconocida: " + arg + ".");
    else if (a.source.empty())
      a.source = arg;
    else
      throw std::invalid_argument("Sobra el argumento '" + arg + "'.");
  }
  if (!a.help && !a.checkRules && !a.history && a.source.empty())
    throw std::invalid_argument("Falta la base de datos de origen.");
  return a;
}

}  // namespace kolt::cli
