// 使い方: the help text both editions show, written once in the module.
// Loaded at the first press of 使い方.
export function ShowHelp(helpHtml) {
  const box = document.getElementById('helpBox');
  const text = document.getElementById('helpText');
  if (!text.hasChildNodes()) text.innerHTML = helpHtml();  // the module's own text, no input in it
  if (!box.open) box.showModal();
}
