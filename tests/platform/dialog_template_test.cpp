// Dialog templates: the text format, the embedded templates and the
// conversion of dialog units to pixels.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/dialog_template.h"

namespace tarvex::platform {
namespace {

const char* const kSample = R"(# a comment line
dialog 700
caption "Sample \"one\""
size 120 80
font "MS Sans Serif" 8
style caption sysmenu modalframe

radio  11 "first"          7  7 40 9  group tabstop   # trailing comment
radio  12 "second"         7 17 40 9
label  -  "two\n  lines"   60 7 40 18 right
edit   20 ""               60 30 30 12 border autoscroll tabstop
spin   21 ""               85 30 10 12 wrap arrowkeys alignright
check  30 "box"            7 50 40 9 disabled
spin   31 ""               100 50 10 12 buddy=20
button 1  "OK"             7 62 40 14 default
)";

TEST(DialogTemplate, ParsesHeaderControlsTextsAndFlags) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(parse_dialog_template(kSample, "sample.dlg", t, error)) << error;
    EXPECT_EQ(t.id, 700);
    EXPECT_EQ(t.caption, "Sample \"one\"");
    EXPECT_EQ(t.width, 120);
    EXPECT_EQ(t.height, 80);
    EXPECT_EQ(t.font_family, "MS Sans Serif");
    EXPECT_EQ(t.font_points, 8);
    EXPECT_TRUE(t.caption_bar && t.sysmenu && t.modalframe);
    EXPECT_FALSE(t.child);
    ASSERT_EQ(t.controls.size(), 8u);

    const ControlTemplate& first = t.controls[0];
    EXPECT_EQ(first.kind, ControlKind::radio);
    EXPECT_TRUE(first.group && first.tabstop);
    EXPECT_FALSE(t.controls[1].group);

    const ControlTemplate& label = t.controls[2];
    EXPECT_EQ(label.id, STATIC_ID);
    EXPECT_EQ(label.text, "two\n  lines");
    EXPECT_EQ(label.align, TextAlign::right);
    EXPECT_EQ(label.rect.x, 60);
    EXPECT_EQ(label.rect.h, 18);

    const ControlTemplate* spin = t.find(21);
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->buddy, 20);   // the edit field just before it
    EXPECT_TRUE(spin->wrap && spin->arrowkeys && spin->alignright);
    EXPECT_EQ(t.find(31)->buddy, 20);   // named explicitly
    EXPECT_TRUE(t.find(30)->disabled);
    EXPECT_TRUE(t.find(1)->default_button);
    EXPECT_EQ(t.find(STATIC_ID), nullptr);
    EXPECT_EQ(t.find(99), nullptr);
}

// Each fault is reported with the file and the line it is on.
TEST(DialogTemplate, MalformedTemplatesAreRefusedWithFileAndLine) {
    const std::string head = "dialog 5\nsize 50 50\n";
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"", "t.dlg: empty template"},
        {"# only a comment\n", "t.dlg: empty template"},
        {"size 50 50\n", "t.dlg line 1: the template must start with \"dialog <id>\""},
        {"dialog 5\n", "t.dlg: no \"size\" line"},
        {"dialog 0\n", "t.dlg line 1: bad dialog id \"0\""},
        {"dialog 5\ndialog 6\n", "t.dlg line 2: a second \"dialog\" line"},
        {"dialog 5\nedit 3 \"\" 1 1 1 1\n", "t.dlg line 2: controls must follow the \"size\" line"},
        {"dialog 5\nsize 50 -1\n", "t.dlg line 2: bad dialog size"},
        {"dialog 5\ncaption Run\n", "t.dlg line 2: \"caption\" takes one quoted text"},
        {"dialog 5\ncaption \"Run\n", "t.dlg line 2: text not closed by a quote"},
        {"dialog 5\ncaption \"a\\q\"\n", "t.dlg line 2: unknown escape \\q"},
        {"dialog 5\nstyle caption thick\n", "t.dlg line 2: unknown style \"thick\""},
        {"dialog 5\nfont \"Arial\" 0\n", "t.dlg line 2: bad font size \"0\""},
        {head + "frame 3 \"\" 1 1 1 1\n", "t.dlg line 3: unknown keyword \"frame\""},
        {head + "edit 3 \"\" 1 1 1\n", "t.dlg line 3: a control takes an id, a quoted text, x, y, width and height"},
        {head + "edit 3 x 1 1 1 1\n", "t.dlg line 3: the control's text must be quoted"},
        {head + "edit 3x \"\" 1 1 1 1\n", "t.dlg line 3: bad control id \"3x\""},
        {head + "edit 3 \"\" 1 1 0 1\n", "t.dlg line 3: bad position or size"},
        {head + "edit 3 \"\" 1 1 1 1 default\n", "t.dlg line 3: unknown flag \"default\" for this kind of control"},
        {head + "edit - \"\" 1 1 1 1\n", "t.dlg line 3: only labels and group boxes may go without an id"},
        {head + "edit 3 \"\" 1 1 1 1\ncheck 3 \"\" 1 1 1 1\n", "t.dlg line 4: control id 3 used twice"},
        {head + "label - \"\" 1 1 1 1\nspin 4 \"\" 1 1 1 1\n",
         "t.dlg line 4: a spin button without buddy= must follow its edit field"},
        {head + "spin 4 \"\" 1 1 1 1 buddy=9\n", "t.dlg line 3: spin button 4 names no edit field as its buddy"},
        {head + "spin 4 \"\" 1 1 1 1 buddy=x\n", "t.dlg line 3: bad buddy id \"x\""},
    };
    for (const Case& c : cases) {
        DialogTemplate t;
        t.id = 42;
        std::string error;
        EXPECT_FALSE(parse_dialog_template(c.text, "t.dlg", t, error)) << c.text;
        EXPECT_EQ(error, c.message) << c.text;
        EXPECT_EQ(t.id, 42) << "a failed parse leaves the output alone";
    }
}

TEST(DialogTemplate, WindowsLineEndsAreAccepted) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(parse_dialog_template("dialog 9\r\nsize 10 10\r\nbutton 1 \"OK\" 1 1 5 5\r\n", "t.dlg", t, error))
        << error;
    EXPECT_EQ(t.find(1)->text, "OK");
}

TEST(DialogTemplate, EmbeddedTemplatesLoadByIdAndUnknownIdsFail) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(load_dialog_template(103, t, error)) << error;
    EXPECT_EQ(t.caption, "Run Data");
    EXPECT_EQ(t.width, 186);
    EXPECT_EQ(t.height, 151);
    EXPECT_FALSE(load_dialog_template(999, t, error));
    EXPECT_EQ(error, "dialog template 999 not found (dialog999.dlg)");
}

// Every template the program carries parses, carries the id of its file
// name, is the one embedded under that id, and keeps its controls inside
// the dialog.
TEST(DialogTemplate, EveryShippedTemplateIsWellFormed) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(TARVEX_SOURCE_DIR) / "resources";
    int seen = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".dlg") continue;
        ++seen;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        DialogTemplate t;
        std::string error;
        ASSERT_TRUE(parse_dialog_template(text.str(), name, t, error)) << error;
        EXPECT_EQ(name, "dialog" + std::to_string(t.id) + ".dlg");
        DialogTemplate embedded;
        ASSERT_TRUE(load_dialog_template(t.id, embedded, error)) << error;
        EXPECT_EQ(embedded.controls.size(), t.controls.size()) << name;
        for (const ControlTemplate& c : t.controls) {
            EXPECT_LE(c.rect.x + c.rect.w, t.width) << name << " control " << c.id << " " << c.text;
            EXPECT_LE(c.rect.y + c.rect.h, t.height) << name << " control " << c.id << " " << c.text;
        }
    }
    EXPECT_GT(seen, 0);
}

// Dialog units to pixels, with the base units of an 8-point sans-serif font
// on a 96-dpi screen (6 by 13): rounding to nearest, halves upwards.
TEST(DialogUnits, ConvertWithRounding) {
    const BaseUnits base{6, 13};
    struct Case {
        DuRect du;
        PxRect px;
    };
    const Case cases[] = {
        {{135, 9, 44, 14}, {203, 15, 66, 23}},    // 202.5 -> 203, 14.625 -> 15, 22.75 -> 23
        {{55, 69, 30, 12}, {83, 112, 45, 20}},    // 82.5 -> 83, 112.125 -> 112, 19.5 -> 20
        {{0, 0, 1, 1}, {0, 0, 2, 2}},             // 1.5 -> 2, 1.625 -> 2
        {{186, 121, 4, 8}, {279, 197, 6, 13}},
    };
    for (const Case& c : cases) EXPECT_EQ(du_to_px(c.du, base), c.px) << c.du.x << "," << c.du.y;
    EXPECT_EQ(mul_div(-3, 6, 4), -5);   // halves away from zero, as for positive values
    EXPECT_EQ(mul_div(7, 1, 0), -1);
}

}  // namespace
}  // namespace tarvex::platform
