// Prints the Khronos glTF validator's report on a .glb or .gltf file (with the
// files it names beside it) as JSON on standard output.
// Usage: node gltf_validate.js VALIDATOR_MODULE_DIR FILE
const fs = require('fs');
const path = require('path');
const validator = require(process.argv[2]);
const file = process.argv[3];

validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: (uri) => new Promise((resolve, reject) => {
        fs.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)),
                    (err, data) => (err ? reject(err.toString()) : resolve(data)));
    }),
}).then((report) => console.log(JSON.stringify(report)), (err) => {
    console.error(err);
    process.exit(2);
});
