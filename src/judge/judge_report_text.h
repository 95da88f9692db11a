// Text of the teacher's reports, safe to open: every CSV field and every piece
// of HTML text made from names, code or messages goes through these.
//
//   csv += csvField(student) + ',' + csvField(level) + '\n';
//   page += "<th>" + htmlEscaped(student) + "</th>";
#pragma once
#include <string>
#include <string_view>

// One CSV field: quoted when it holds a comma, quote or line break; a field a
// spreadsheet would take for a formula (it begins with = + - @, a tab or a
// carriage return) gets a leading apostrophe, so it is shown as text.
std::string csvField(std::string_view text);

// Text for an HTML page: & < > " ' as entities.
std::string htmlEscaped(std::string_view text);
