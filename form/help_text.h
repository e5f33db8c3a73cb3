// The help and the about text both editions show: the window in a text
// browser, the page in a dialog of its own. UTF-8 HTML of the simplest kind
// (headings, paragraphs, lists, <code>), which Qt's rich text and every
// browser render alike. No window toolkit.
#pragma once

#include <string>
#include <string_view>

namespace tessaly {

// The program's version, "0.1.0".
[[nodiscard]] std::string_view ProgramVersion();

// 使い方: what the picture and the fields are, why the temperature is 50/N,
// what the observation view plots, how to share a run and keep its numbers,
// and what the same run means between the desktop and the page. Ends with
// the version and the licence.
[[nodiscard]] std::string HelpHtml();

// Tessaly について: the name, one line on what it is, the version and the
// licence.
[[nodiscard]] std::string AboutHtml();

}  // namespace tessaly
