// Writes the rule reference for the office, docs/reglas.md: every rule in number order with its
// group, for a generated rule its check and its (table, field) pair, its description and its
// statements as the engine receives them, work tables included.
//
//   kolt-reglas [SALIDA.md]        (without a file, to standard output)
//
// The reference is made from the rule plan the program runs, so it cannot say anything else; a test
// compares the committed file with what this tool writes.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "base/platform/arguments.h"
#include "base/platform/paths.h"
#include "help_option.h"
#include "rules/rule_plan.h"

namespace {

using namespace kolt::rules;

// A statement in a fenced block, exactly as it runs: blanks and letter case kept.
void statement(std::ostream& out, std::string_view text) {
  out << "```sql\n" << text << "\n```\n\n";
}

void rule(std::ostream& out, const RuleGroup& group, const PlannedRule& planned) {
  out << "### Regla " << planned.number << "\n\n";
  out << "Grupo: " << group.name << " (reglas " << group.first << " a " << group.last
      << "). Tabla de resultados: `" << planned.table << "`.";
  if (!planned.check.empty())
    out << " Regla generada: verificación " << planned.check << " sobre `" << planned.pair.lcTabla
        << "." << planned.pair.lcCampo << "`.";
  out << "\n\n" << planned.description << "\n\n";
  if (planned.buildBefore != nullptr) {
    for (const WorkTable& work : *planned.buildBefore) {
      out << "Antes, la tabla de trabajo `" << work.name << "`:\n\n";
      for (std::string_view text : work.statements) statement(out, text);
    }
  }
  out << (planned.statements.size() == 1 ? "Sentencia:\n\n" : "Sentencias, en orden:\n\n");
  for (const std::string& text : planned.statements) statement(out, text);
  if (planned.dropAfter != nullptr) {
    out << "Después se borran las tablas de trabajo";
    const char* separator = " ";
    for (std::string_view name : *planned.dropAfter) {
      out << separator << '`' << name << '`';
      separator = ", ";
    }
    out << ".\n\n";
  }
}

void reference(std::ostream& out) {
  out << "# Las reglas de validación\n\n"
         "Este documento lo escribe `kolt-reglas` a partir de las reglas que ejecuta el programa; "
         "no se edita a mano.\n\n"
         "Cada regla deja sus hallazgos en su tabla de resultados `Validacion{N}`: el programa la "
         "borra antes de ejecutar la regla, ejecuta sus sentencias tal como aparecen aquí (los "
         "blancos y las mayúsculas incluidos, como las muestra la traza) y la exporta como hoja "
         "del libro de la unidad cuando tiene filas. Las reglas 42 a 80 se generan: cada "
         "verificación de la lista de códigos de diagnóstico se aplica a cada par (tabla, campo) "
         "que le corresponde, y cada aplicación es una regla numerada.\n\n";
  const std::vector<PlannedRule> plan = planRules(ruleCatalogue());
  for (const RuleGroup& group : kRuleGroups) {
    out << "## Reglas " << group.first << " a " << group.last << ": " << group.name << "\n\n";
    for (const PlannedRule& planned : plan)
      if (planned.number >= group.first && planned.number <= group.last) rule(out, group, planned);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const kolt::platform::Utf8Argv utf8Argv(argc, argv);
  kolt::platform::prepareConsole();
  if (kolt::tools::asksForHelp(argc, argv))
    return kolt::tools::printHelp(
        "Uso: kolt-reglas [SALIDA.md]\n"
        "Escribe la referencia de las reglas de validación (docs/reglas.md): cada regla con su\n"
        "grupo, su descripción y sus sentencias tal como se ejecutan. Sin archivo, la escribe en\n"
        "la salida estándar.\n");
  if (argc > 2) {
    std::fputs("Uso: kolt-reglas [SALIDA.md]\n", stderr);
    return 2;
  }
  if (argc == 1) {
    reference(std::cout);
    return std::cout.flush() ? 0 : 1;
  }
  std::ofstream out(kolt::platform::pathFromUtf8(argv[1]), std::ios::binary);
  reference(out);
  if (!out.flush()) {
    std::fprintf(stderr, "kolt-reglas: no se pudo escribir %s\n", argv[1]);
    return 1;
  }
  return 0;
}
