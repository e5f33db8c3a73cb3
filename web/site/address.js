// What the page's address asks for: ?count=400&time-step=0.05&period=20
// &seed=7&observe&run. The three settings go into their fields as text, to be
// read by the fields' own rules when 実行 is pressed, so that a bad value gets
// that field's usual dialog and nothing else reads it. `seed` places every
// run from that seed; `observe` shows the observation panel; `run` presses
// 実行 once the page is ready.

const kFieldParameters = ['count', 'time-step', 'period'];  // the fields' order

// `fields`: the three inputs in the module's order. `useSeed(text)` is true
// when the module takes the text as a seed; `report(message)` shows the
// error dialog. Returns what is left to do once the page is ready.
export function ReadAddress(search, fields, useSeed, report) {
  const query = new URLSearchParams(search);
  kFieldParameters.forEach((name, k) => {
    const text = query.get(name);
    if (text !== null) fields[k].value = text;
  });
  const seed = query.get('seed');
  if (seed !== null && !useSeed(seed)) {
    report(`アドレスの「乱数の種」(seed=${seed}) を使えません。\n` +
      '0 から 18446744073709551615 までの整数を指定してください。\n' +
      '配置は、これまでどおり時計から決めます。');
  }
  return { observe: query.has('observe'), run: query.has('run') };
}
