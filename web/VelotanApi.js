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
    // True when the keys made the code table; false when decoding with them
    // most likely gives gibberish.
    keysFit: function (codeTable, firstKey, secondKey) {
      return withTexts([codeTable], function (t, tl) {
        return _velotan_keys_fit(t, tl, firstKey, secondKey);
      }) === 1;
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
    // The characters code page 936 cannot carry, listed for a question
    // ("😀 € 한 等"), or '' when every character travels.
    unsupported: function (text) {
      return withTexts([text], _velotan_unsupported) ? result(0) : '';
    },
    // True when the text holds a strong post (心情：QL2: or a later version).
    isStrongPost: function (text) {
      return withTexts([text], _velotan_is_strong_post) === 1;
    },
    // Tries every key of the key box (one key text a line) on a strong post:
    // {mood, line} with the line of the key that opened it, or {message}.
    strongOpen: function (post, keyBox) {
      var line = withTexts([post, keyBox], _velotan_strong_open);
      return line > 0 ? { mood: result(0), line: line } : { message: result(0) };
    },
    // A new strong key's text ("QLK1:…").
    newStrongKey: function () {
      _velotan_strong_new_key();
      return result(0);
    },
    // A strong post of the mood under the key on the key box's first line:
    // {post}, or {message}.
    strongSeal: function (mood, keyBox) {
      var done = withTexts([mood, keyBox], _velotan_strong_seal);
      return done ? { post: result(0) } : { message: result(0) };
    },
  };
})();
