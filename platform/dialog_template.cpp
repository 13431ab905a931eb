#include "platform/dialog_template.h"

#include <QFile>

#include <charconv>
#include <cstdlib>
#include <limits>
#include <optional>
#include <set>

namespace tarvex::platform {

namespace {

// Largest coordinate or size in dialog units that a template may give.
constexpr int MAX_DU = 4000;

struct Token {
    std::string text;
    bool quoted = false;
};

// Splits one line into tokens: bare words, and quoted texts with the escapes
// \n \t \" \\. A '#' outside quotes starts a comment.
bool tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    tokens.clear();
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') break;
        Token token;
        if (c == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size()) break;
                    char e = line[i++];
                    switch (e) {
                        case 'n': token.text += '\n'; break;
                        case 't': token.text += '\t'; break;
                        case '"': token.text += '"'; break;
                        case '\\': token.text += '\\'; break;
                        default:
                            error = std::string("unknown escape \\") + e;
                            return false;
                    }
                    continue;
                }
                token.text += d;
            }
            if (!closed) {
                error = "text not closed by a quote";
                return false;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') {
                error = "blank expected after a quoted text";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') {
                if (line[i] == '"') {
                    error = "quote inside a word";
                    return false;
                }
                token.text += line[i++];
            }
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

std::optional<int> to_int(const Token& token, int lo, int hi) {
    if (token.quoted || token.text.empty()) return std::nullopt;
    int value = 0;
    const char* first = token.text.data();
    const char* last = first + token.text.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || value < lo || value > hi) return std::nullopt;
    return value;
}

std::optional<ControlKind> kind_of(std::string_view word) {
    if (word == "label") return ControlKind::label;
    if (word == "edit") return ControlKind::edit;
    if (word == "button") return ControlKind::button;
    if (word == "check") return ControlKind::check;
    if (word == "radio") return ControlKind::radio;
    if (word == "groupbox") return ControlKind::groupbox;
    if (word == "spin") return ControlKind::spin;
    if (word == "tab") return ControlKind::tab;
    return std::nullopt;
}

// Applies one flag word to a control; false when it is not a flag of that kind.
bool apply_flag(ControlTemplate& c, const std::string& word, std::string& error) {
    const bool text_kind = c.kind == ControlKind::label || c.kind == ControlKind::edit;
    if (word == "group") c.group = true;
    else if (word == "tabstop") c.tabstop = true;
    else if (word == "disabled") c.disabled = true;
    else if (word == "hidden") c.hidden = true;
    else if (word == "center" && text_kind) c.align = TextAlign::center;
    else if (word == "right" && text_kind) c.align = TextAlign::right;
    else if (word == "default" && c.kind == ControlKind::button) c.default_button = true;
    else if (word == "border" && c.kind == ControlKind::edit) c.border = true;
    else if (word == "autoscroll" && c.kind == ControlKind::edit) c.autoscroll = true;
    else if (word == "readonly" && c.kind == ControlKind::edit) c.readonly = true;
    else if (word == "wrap" && c.kind == ControlKind::spin) c.wrap = true;
    else if (word == "arrowkeys" && c.kind == ControlKind::spin) c.arrowkeys = true;
    else if (word == "alignright" && c.kind == ControlKind::spin) c.alignright = true;
    else if (word.rfind("buddy=", 0) == 0 && c.kind == ControlKind::spin) {
        Token t{word.substr(6), false};
        auto id = to_int(t, 1, 65535);
        if (!id) {
            error = "bad buddy id \"" + word.substr(6) + "\"";
            return false;
        }
        c.buddy = *id;
    } else {
        error = "unknown flag \"" + word + "\" for this kind of control";
        return false;
    }
    return true;
}

}  // namespace

const ControlTemplate* DialogTemplate::find(int control_id) const {
    if (control_id == STATIC_ID) return nullptr;
    for (const ControlTemplate& c : controls)
        if (c.id == control_id) return &c;
    return nullptr;
}

bool parse_dialog_template(std::string_view text, std::string_view source, DialogTemplate& out,
                           std::string& error) {
    DialogTemplate t;
    bool have_dialog = false, have_size = false, have_caption = false, have_font = false, have_style = false;
    std::set<int> ids;
    std::vector<Token> tokens;
    int line_no = 0;
    size_t pos = 0;

    auto fail = [&](const std::string& message) {
        error = std::string(source) + " line " + std::to_string(line_no) + ": " + message;
        return false;
    };

    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++line_no;

        std::string token_error;
        if (!tokenize(line, tokens, token_error)) return fail(token_error);
        if (tokens.empty()) continue;
        const Token& head = tokens[0];
        const std::string& word = head.text;
        if (head.quoted) return fail("a line starts with a keyword, not a quoted text");

        if (!have_dialog && word != "dialog") return fail("the template must start with \"dialog <id>\"");

        if (word == "dialog") {
            if (have_dialog) return fail("a second \"dialog\" line");
            if (tokens.size() != 2) return fail("\"dialog\" takes one id");
            auto id = to_int(tokens[1], 1, 65535);
            if (!id) return fail("bad dialog id \"" + tokens[1].text + "\"");
            t.id = *id;
            have_dialog = true;
        } else if (word == "caption") {
            if (have_caption) return fail("a second \"caption\" line");
            if (tokens.size() != 2 || !tokens[1].quoted) return fail("\"caption\" takes one quoted text");
            t.caption = tokens[1].text;
            have_caption = true;
        } else if (word == "size") {
            if (have_size) return fail("a second \"size\" line");
            if (tokens.size() != 3) return fail("\"size\" takes a width and a height");
            auto w = to_int(tokens[1], 1, MAX_DU);
            auto h = to_int(tokens[2], 1, MAX_DU);
            if (!w || !h) return fail("bad dialog size");
            t.width = *w;
            t.height = *h;
            have_size = true;
        } else if (word == "font") {
            if (have_font) return fail("a second \"font\" line");
            if (tokens.size() != 3 || !tokens[1].quoted) return fail("\"font\" takes a quoted typeface and a point size");
            auto points = to_int(tokens[2], 1, 72);
            if (!points) return fail("bad font size \"" + tokens[2].text + "\"");
            t.font_family = tokens[1].text;
            t.font_points = *points;
            have_font = true;
        } else if (word == "style") {
            if (have_style) return fail("a second \"style\" line");
            for (size_t i = 1; i < tokens.size(); ++i) {
                const std::string& s = tokens[i].text;
                if (tokens[i].quoted) return fail("\"style\" takes words");
                if (s == "caption") t.caption_bar = true;
                else if (s == "sysmenu") t.sysmenu = true;
                else if (s == "modalframe") t.modalframe = true;
                else if (s == "child") t.child = true;
                else return fail("unknown style \"" + s + "\"");
            }
            have_style = true;
        } else if (auto kind = kind_of(word)) {
            if (!have_size) return fail("controls must follow the \"size\" line");
            // kind id "text" x y w h flags...
            if (tokens.size() < 7) return fail("a control takes an id, a quoted text, x, y, width and height");
            ControlTemplate c;
            c.kind = *kind;
            c.line = line_no;
            if (tokens[1].text == "-" && !tokens[1].quoted) {
                c.id = STATIC_ID;
            } else {
                auto id = to_int(tokens[1], 1, 65535);
                if (!id) return fail("bad control id \"" + tokens[1].text + "\"");
                c.id = *id;
            }
            if (!tokens[2].quoted) return fail("the control's text must be quoted");
            c.text = tokens[2].text;
            auto x = to_int(tokens[3], 0, MAX_DU);
            auto y = to_int(tokens[4], 0, MAX_DU);
            auto w = to_int(tokens[5], 1, MAX_DU);
            auto h = to_int(tokens[6], 1, MAX_DU);
            if (!x || !y || !w || !h) return fail("bad position or size");
            c.rect = {*x, *y, *w, *h};
            for (size_t i = 7; i < tokens.size(); ++i) {
                if (tokens[i].quoted) return fail("flags are words, not quoted texts");
                std::string flag_error;
                if (!apply_flag(c, tokens[i].text, flag_error)) return fail(flag_error);
            }
            if (c.id == STATIC_ID && c.kind != ControlKind::label && c.kind != ControlKind::groupbox)
                return fail("only labels and group boxes may go without an id");
            if (c.id != STATIC_ID && !ids.insert(c.id).second)
                return fail("control id " + std::to_string(c.id) + " used twice");
            if (c.kind == ControlKind::spin) {
                const ControlTemplate* buddy = nullptr;
                if (c.buddy == 0) {
                    if (!t.controls.empty()) buddy = &t.controls.back();
                    if (!buddy || buddy->kind != ControlKind::edit)
                        return fail("a spin button without buddy= must follow its edit field");
                    c.buddy = buddy->id;
                }
            }
            t.controls.push_back(std::move(c));
        } else {
            return fail("unknown keyword \"" + word + "\"");
        }
    }

    if (!have_dialog) {
        error = std::string(source) + ": empty template";
        return false;
    }
    if (!have_size) {
        error = std::string(source) + ": no \"size\" line";
        return false;
    }
    // Spin buttons named by buddy= must name an edit field of the template.
    for (const ControlTemplate& c : t.controls) {
        if (c.kind != ControlKind::spin) continue;
        const ControlTemplate* buddy = t.find(c.buddy);
        if (!buddy || buddy->kind != ControlKind::edit) {
            error = std::string(source) + " line " + std::to_string(c.line) + ": spin button " +
                    std::to_string(c.id) + " names no edit field as its buddy";
            return false;
        }
    }
    out = std::move(t);
    error.clear();
    return true;
}

bool load_dialog_template(int id, DialogTemplate& out, std::string& error) {
    const QString name = QStringLiteral(":/dialogs/dialog%1.dlg").arg(id);
    QFile file(name);
    const std::string source = "dialog" + std::to_string(id) + ".dlg";
    if (!file.open(QIODevice::ReadOnly)) {
        error = "dialog template " + std::to_string(id) + " not found (" + source + ")";
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (!parse_dialog_template(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), source,
                               out, error))
        return false;
    if (out.id != id) {
        error = source + ": holds dialog " + std::to_string(out.id) + ", not " + std::to_string(id);
        return false;
    }
    return true;
}

int mul_div(int value, int numerator, int denominator) {
    if (denominator == 0) return -1;
    long long product = static_cast<long long>(value) * numerator;
    long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    bool negative = (product < 0) != (denominator < 0);
    long long q = (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
    if (negative) q = -q;
    if (q > std::numeric_limits<int>::max() || q < std::numeric_limits<int>::min()) return -1;
    return static_cast<int>(q);
}

PxRect du_to_px(const DuRect& rect, BaseUnits base) {
    return {du_to_px_x(rect.x, base), du_to_px_y(rect.y, base), du_to_px_x(rect.w, base),
            du_to_px_y(rect.h, base)};
}

}  // namespace tarvex::platform
