// SPDX-License-Identifier: MIT
// SPDX-FileCopyrightText: 2026 The setwalk authors
// Validates a CycloneDX 1.5 SBOM against the official JSON schema (strict),
// and each licence expression in it against the SPDX licence list:
//
//   node check.js FILE
//
// Exits 0 when the document is valid, 1 with the reasons when it is not.
'use strict';
const fs = require('fs');
const { Spec, Validation } = require('@cyclonedx/cyclonedx-library');
const parse = require('spdx-expression-parse');

async function main(file) {
  const text = fs.readFileSync(file, 'utf8');
  const problems = [];
  const schemaErrors = await new Validation.JsonStrictValidator(Spec.Version.v1dot5).validate(text);
  if (schemaErrors !== null) {
    problems.push('schema: ' + JSON.stringify(schemaErrors, null, 2));
  }
  const walk = (components) => {
    for (const component of components || []) {
      for (const entry of component.licenses || []) {
        if (entry.expression === undefined) continue;
        try {
          parse(entry.expression);
        } catch (error) {
          problems.push(`${component['bom-ref']}: ${entry.expression}: ${error.message}`);
        }
      }
      walk(component.components);
    }
  };
  const bom = JSON.parse(text);
  walk([bom.metadata.component]);
  walk(bom.components);
  if (problems.length > 0) {
    console.error(`${file} is not a valid CycloneDX 1.5 SBOM:\n${problems.join('\n')}`);
    process.exit(1);
  }
  console.log(`${file}: valid CycloneDX 1.5`);
}

main(process.argv[2]).catch((error) => {
  console.error(error.message);
  process.exit(1);
});
