#include "tools/assetgen/text_layout.h"

#include <sstream>
#include <vector>

namespace assetgen {

double drawParagraph(cairo_t *cr, const std::string &text, double x, double top, double width,
                     const TextStyle &style, double lineHeight) {
    std::istringstream words(text);
    std::vector<std::string> lines;
    std::string line;
    std::string word;
    while (words >> word) {
        const std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && textWidth(cr, candidate, style) > width) {
            lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    double y = top + lineHeight / 2;
    for (const std::string &l : lines) {
        drawText(cr, l, x, y, Align::Left, style);
        y += lineHeight;
    }
    return top + lineHeight * static_cast<double>(lines.size());
}

} // namespace assetgen
