// Interop between velotan-cli and the web page's module (the node build of
// the same sources): random texts encrypted by one come back exactly from
// the other, in both directions.
//
//   node interop.js MODULE.js VELOTAN-CLI SYMBOLHANDLE.INI [COUNT [SEED]]
//
// Exit code 0 when every text came back, 1 otherwise, 77 (skipped) when the
// module has not been built.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [modulePath, cli, symbolFile, countArg, seedArg] = process.argv.slice(2);
if (!modulePath || !cli || !symbolFile) {
  console.error('usage: node interop.js MODULE.js VELOTAN-CLI SYMBOLHANDLE.INI [COUNT [SEED]]');
  process.exit(2);
}
// Without Emscripten a module found here may be left over from older sources.
const hasEmscripten = (process.env.PATH || '')
  .split(path.delimiter)
  .some((dir) => dir && fs.existsSync(path.join(dir, 'emcc')));
if (!hasEmscripten) {
  console.log('SKIPPED: Emscripten is not installed (scripts/setup --web)');
  process.exit(77);
}
if (!fs.existsSync(modulePath)) {
  console.log('SKIPPED: ' + modulePath + ' is not built (scripts/web, needs scripts/setup --web)');
  process.exit(77);
}
const count = Number(countArg || 500);
let seed = Number(seedArg || 20240617) >>> 0;

// A small seeded generator, so a failing text can be made again.
function random() {
  seed = (seed + 0x6d2b79f5) >>> 0;
  let t = seed;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
function below(n) {
  return Math.floor(random() * n);
}
function pick(list) {
  return list[below(list.length)];
}

// Characters the cipher carries: printable ASCII, GB2312 hanzi, line breaks,
// and the punctuation marks of symbolhandle.ini.
const hanzi = Array.from(
  '啊蔼俺凹芭拔白班伴膀胞宝悲备绷笔庇避卞鳖摈并搏泊步财蚕藏册碴搀颤厂嘲彻陈乘吃齿虫筹厨矗船吹淳辞葱促粹措呆待胆当' +
    '岛得堤嫡缔电叼爹钉董抖犊度堆囤躲鹅鄂二珐凡坊纺吠分愤疯否氟弗府阜咐干敢港镐疙个埂躬钩辜古刮棺灌归跪果害函焊毫' +
    '菏河很哄侯瑚虎猾淮唤黄幌回会魂惑稽姬及脊悸妓荚驾兼硷鉴剑浆降骄角叫劫解诫紧烬鲸颈竞久咎菊巨剧攫均郡凯慷靠咳垦' +
    '口裤快旷傀扩啦阑滥劳乐肋黎礼历隶廉练晾辽烈鳞龄另瘤隆陋鲁录屡挛伦锣麻买蔓忙茂酶昧檬糜密缅妙明蘑墨拇慕钠南呢尼' +
    '年捏狞脓虐殴怕潘旁泡沛棚砒疲片频凭魄菩瀑柒齐启讫迁潜呛敲翘钦寝晴丘蛆趣拳榷瓤热妊融茹褥弱叁嫂刹苫赡赏芍蛇设神' +
    '生圣十史世噬室售输薯述恕霜顺思伺宋俗肃碎蓑他苔摊谈塘淌逃誊体填眺廷瞳痛徒推拖拓歪完腕忘围伟喂温嗡卧屋捂物硒希' +
    '犀系暇锨闲腺镶想萧淆楔斜泻忻刑姓修戌叙轩绚循讯芽讶蜒掩雁鸯氧瑶药也一夷彝抑疫诣荫寅鹰赢臃永由右盂愉禹遇浴元猿' +
    '约耘晕宰脏蚤则喳咋寨崭樟帐沼哲斟疹征症肢执纸制窒重轴株煮贮拽装坠茁姿自纵祖罪坐'
);
const marks = [
  '“', '”', '【', '！', '￥', '……', '（', '）', '——', '、',
  '。', '，', '《', '》', '；', '：', '‘', '’', '】', '？',
];
function asciiChar() {
  return String.fromCharCode(0x20 + below(0x7f - 0x20));
}
function randomText() {
  const length = below(4) === 0 ? below(8) : below(300);
  let text = '';
  while (text.length < length) {
    const kind = below(20);
    if (kind < 6) text += asciiChar();
    else if (kind < 14) text += pick(hanzi);
    else if (kind < 17) text += pick(marks);
    else if (kind < 18) text += '\r\n';
    else if (kind < 19) text += '\n';
    else text += ' ';
  }
  return text;
}
// Mostly keys as the program makes them (1 to 39), some from the whole
// 16-bit range; the first key is never 0.
function randomKeys() {
  if (below(4) > 0) return [1 + below(39), 1 + below(39)];
  let first = 0;
  while (first === 0) first = below(65536) - 32768;
  return [first, below(65536) - 32768];
}

// velotan-cli with its own program folder: the shipped symbolhandle.ini,
// and nothing of the user's.
const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'velotan-interop-'));
fs.copyFileSync(symbolFile, path.join(folder, 'symbolhandle.ini'));
const env = Object.assign({}, process.env, {
  XDG_DATA_HOME: path.join(folder, 'data'),
  XDG_STATE_HOME: path.join(folder, 'state'),
});
function runCli(command, keys, input) {
  const run = childProcess.spawnSync(
    cli,
    [command, '--keys', keys.join(','), '--program-folder', folder],
    { input: Buffer.from(input, 'utf8'), env: env, maxBuffer: 64 * 1024 * 1024 }
  );
  if (run.status !== 0) {
    throw new Error('velotan-cli ' + command + ' failed: ' + run.stderr.toString('utf8'));
  }
  return run.stdout.toString('utf8');
}

function show(text) {
  return JSON.stringify(text.length > 120 ? text.slice(0, 120) + '…' : text);
}

require(path.resolve(modulePath))().then((module) => {
  const core = module.velotan;
  const failures = { cliToModule: 0, moduleToCli: 0 };
  let cliToModule = 0;
  let moduleToCli = 0;
  for (let i = 0; i < count; ++i) {
    const text = randomText();
    const keys = randomKeys();

    // velotan-cli encrypts, the module decrypts.
    const lines = runCli('encrypt', keys, text).split('\n');
    const decoded = core.decrypt(lines[0], lines[1], keys[0], keys[1]);
    if (decoded === text) {
      ++cliToModule;
    } else if (failures.cliToModule++ < 5) {
      console.log('cli -> module #' + i + ' keys ' + keys + ': ' + show(text) + ' came back as ' + show(decoded));
    }

    // The module encrypts, velotan-cli decrypts.
    const pair = core.encrypt(text, keys[0], keys[1]);
    const back = pair ? runCli('decrypt', keys, pair.cipherText + '\n' + pair.codeTable + '\n') : null;
    if (back === text) {
      ++moduleToCli;
    } else if (failures.moduleToCli++ < 5) {
      console.log('module -> cli #' + i + ' keys ' + keys + ': ' + show(text) + ' came back as ' + show(back || ''));
    }
  }
  fs.rmSync(folder, { recursive: true, force: true });
  console.log('velotan-cli encrypts, module decrypts: ' + cliToModule + ' of ' + count);
  console.log('module encrypts, velotan-cli decrypts: ' + moduleToCli + ' of ' + count);
  process.exit(cliToModule === count && moduleToCli === count ? 0 : 1);
}, (error) => {
  console.log('the module did not start: ' + error);
  process.exit(1);
});
