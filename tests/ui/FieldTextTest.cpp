#include "platform/Testing.h"
#include "support/PictureText.h"
#include "support/Program.h"
#include "ui/WIopt.h"

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace planora::test {
namespace {

namespace pt = planora::testing;

// The field shows the text from its first character, and not from its last: the text is too
// wide for the field, so that the two views differ.
void expectShownFromTheStart(const EditField& field, const std::string& text) {
    ASSERT_EQ(field.Text(), text);
    const Picture shown = pt::grab(field);
    const Picture start = pt::renderEditField(field, text, 0);
    const Picture end = pt::renderEditField(field, text, int(text.size()));
    ASSERT_FALSE(samePixels(start, end)) << "the text fits the field";
    EXPECT_TRUE(samePixels(shown, start)) << field.Name() << field.Index() << " hides its start";
}

struct FieldCase {
    std::string_view name;
    std::string text;
    std::function<EditField&(main&)> field;
};

std::ostream& operator<<(std::ostream& os, const FieldCase& c) {
    return os << c.name;
}

EditField& matrixField(main& w) {
    return *w.TEMat(1);
}
EditField& originField(main& w) {
    pt::click(*w.PushButton3());
    return *WIopt::instance().EFoy();
}

class FieldText : public ProgramTest, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(FieldText, ShowsItsFirstCharacterAfterTypingAndTab) {
    EditField& field = GetParam().field(window());
    field.Text("");
    pt::typeText(field, GetParam().text);
    pt::pressKey(field.window(), "Tab");
    ASSERT_FALSE(field.hasFocus());
    pt::processEvents();
    expectShownFromTheStart(field, field.Text());
}

TEST_P(FieldText, ShowsItsFirstCharacterWhenTheProgramWritesIt) {
    EditField& field = GetParam().field(window());
    window().PushButton2()->setFocus(); // a focused field draws its caret
    field.Text(GetParam().text);
    pt::processEvents();
    expectShownFromTheStart(field, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Fields, FieldText,
                         ::testing::Values(FieldCase{"matrixEntry", "-0.866", matrixField},
                                           FieldCase{"originField", "-123456", originField}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace planora::test
