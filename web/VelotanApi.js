// The core's functions with JavaScript strings in and out (appended to the
// module by Emscripten, so it sees the module's memory and exports).
Module['velotan'] = (function () {
  'use strict';

  // Calls fn with each string copied into the module's memory as UTF-16
  // (pointer and length), and frees them afterwards.
  function withTexts(texts, fn) {
    var buffers = texts.map(function (text) {
      var pointer = _malloc(text.length * 2 + 2);
      var base = pointer >> 1;
      for (var i = 0; i < text.length; ++i) HEAPU16[base + i] = text.charCodeAt(i);
      return pointer;
    });
    try {
      var args = [];
      buffers.forEach(function (pointer, i) {
        args.push(pointer, texts[i].length);
      });
      return fn.apply(null, args);
    } finally {
      buffers.forEach(function (pointer) {
        _free(pointer);
      });
    }
  }

  // Result slot n as a string; every unit is kept, NUL included.
  function result(slot) {
    var base = _velotan_result(slot) >> 1;
    var length = _velotan_result_length(slot);
    var parts = [];
    for (var i = 0; i < length; i += 8192) {
      var end = Math.min(length, i + 8192);
      parts.push(String.fromCharCode.apply(null, HEAPU16.subarray(base + i, base + end)));
    }
    return parts.join('');
  }

  return {
    // The cipher text and code table in a whole post, or null.
    splitPost: function (post) {
      if (!withTexts([post], _velotan_split_post)) return null;
      return { cipherText: result(0), codeTable: result(1) };
    },
    // A typed key (rounded half to even), or null when it is no whole
    // number from -32768 to 32767.
    keyNumber: function (text) {
      var value = withTexts([text], _velotan_key_number);
      return value === -2147483648 ? null : value;
    },
    decrypt: function (cipherText, codeTable, firstKey, secondKey) {
      withTexts([cipherText, codeTable], function (c, cl, t, tl) {
        _velotan_decrypt(c, cl, t, tl, firstKey, secondKey);
      });
      return result(0);
    },
    // {cipherText, codeTable, shareText}, or null when the text is too long.
    encrypt: function (plain, firstKey, secondKey) {
      var done = withTexts([plain], function (p, l) {
        return _velotan_encrypt(p, l, firstKey, secondKey);
      });
      if (!done) return null;
      return { cipherText: result(0), codeTable: result(1), shareText: result(2) };
    },
  };
})();
