// 使い方: the help text both editions show, written once in the module.
export function SetUpHelp(button, helpHtml) {
  const box = document.getElementById('helpBox');
  const text = document.getElementById('helpText');
  button.addEventListener('click', () => {
    if (!text.hasChildNodes()) text.innerHTML = helpHtml();  // the module's own text, no input in it
    if (!box.open) box.showModal();
  });
}
