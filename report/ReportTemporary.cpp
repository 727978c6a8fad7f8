// A minimal page standing in for the report library until it is merged: the notes, the
// summary's text and a link to its picture.
#include <fstream>

#include "report/Report.h"

namespace report {
namespace {

std::string escaped(const std::string& text) {
  std::string html;
  for (char c : text) {
    if (c == '<') html += "&lt;";
    else if (c == '>') html += "&gt;";
    else if (c == '&') html += "&amp;";
    else html += c;
  }
  return html;
}

}  // namespace

void writeReport(const Input& input, const std::string& htmlFile) {
  std::ofstream page(htmlFile, std::ios::binary);
  if (!page) throw ReportError("cannot write the report: " + htmlFile);
  page << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>vornak-fit: "
       << escaped(input.dataFile) << "</title></head><body>\n<h1>" << kindName(input.kind) << "</h1>\n<ul>\n";
  for (const std::string& note : input.notes) page << "<li>" << escaped(note) << "</li>\n";
  page << "</ul>\n<pre>" << escaped(input.summaryText) << "</pre>\n</body></html>\n";
  if (!page) throw ReportError("cannot write the report: " + htmlFile);
}

}  // namespace report
