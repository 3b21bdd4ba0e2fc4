// Validates the OpenAPI document of ambit-order against the OpenAPI 3.1 schema and resolves
// every reference, as a client generator would read it.
//   node validate.mjs FILE          validate a document written earlier
//   node validate.mjs --cli BINARY  run `BINARY methods --openapi` and validate its output
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import SwaggerParser from "@apidevtools/swagger-parser";

const args = process.argv.slice(2);
let text;
if (args[0] === "--cli" && args[1]) {
  text = execFileSync(args[1], ["methods", "--openapi"], { encoding: "utf8", maxBuffer: 64 << 20 });
} else if (args.length === 1) {
  text = readFileSync(args[0], "utf8");
} else {
  console.error("usage: node validate.mjs FILE | --cli path/to/ambit-order");
  process.exit(2);
}

try {
  const api = await SwaggerParser.validate(JSON.parse(text));
  const paths = Object.keys(api.paths).length;
  console.log(`OpenAPI ${api.openapi} document of ${api.info.title} ${api.info.version}: valid, ${paths} paths`);
} catch (e) {
  console.error(`OpenAPI document invalid: ${e.message}`);
  process.exit(1);
}
