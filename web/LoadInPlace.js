// The WebAssembly module is in this very file, as a data: URL. Emscripten's
// loader would fetch that URL, and the page's policy forbids every fetch;
// so the bytes are decoded here and compiled without a request.
Module['instantiateWasm'] = function (imports, receiveInstance) {
  WebAssembly.instantiate(tryParseAsDataURI(wasmBinaryFile), imports).then(
    function (output) {
      receiveInstance(output['instance'], output['module']);
    },
    function (reason) {
      abort(reason);
    }
  );
  return {};
};
