// Prints every user table of an Access file, read by mdb-reader (npm), in the lines the Access
// writer tests compare:
//   T <table name as UTF-8 hex>
//   R <value> <value> ...      N null, I:<integer> (Yes/No as -1/0), D:<double's 8 bytes, hex>,
//                              M:<currency text>, T:<ISO date>, S:<UTF-8 hex> ("S:" when empty)
//
//   node read_with_mdb_reader.mjs NODE_MODULES_PARENT FILE
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { pathToFileURL } from "node:url";

const [modules, file] = process.argv.slice(2);
const require = createRequire(modules + "/");
const { default: MDBReader } = await import(pathToFileURL(require.resolve("mdb-reader")).href);

const hex = (text) => Buffer.from(text, "utf8").toString("hex");
function encode(value, type) {
  if (value === null || value === undefined) return "N";
  switch (type) {
    case "boolean": return value ? "I:-1" : "I:0";
    case "byte": case "integer": case "long": return "I:" + value;
    case "double": {
      const b = Buffer.alloc(8);
      b.writeDoubleLE(value);
      return "D:" + b.toString("hex");
    }
    case "currency": return "M:" + value;
    case "datetime": return "T:" + value.toISOString();
    case "text": case "memo": return "S:" + hex(value);
    default: return "?" + type;
  }
}

const reader = new MDBReader(readFileSync(file));
const out = [];
for (const name of reader.getTableNames()) {
  out.push("T " + hex(name));
  const table = reader.getTable(name);
  const columns = table.getColumns();
  for (const row of table.getData())
    out.push("R " + columns.map((c) => encode(row[c.name], c.type)).join(" "));
}
process.stdout.write(out.join("\n") + "\n");
