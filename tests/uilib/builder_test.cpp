#include <gtest/gtest.h>

#include "uilib/UIlib.h"

namespace {

CControlUI* Build(const std::string& xml, CPaintManagerUI* manager) {
  CDialogBuilder builder;
  return builder.CreateFromText(xml, "test.xml", manager);
}

// One layout with window settings, fonts, class defaults, attributes of
// every kind and things the builder does not know.
class BuilderTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(manager_.AttachDialog(Build(R"(<Window size="300,200" caption="0,0,0,40" roundcorner="8,6">
      <Default name="Button" value='height="33" textcolor="#FF111111" bkcolor="#FF222222"'/>
      <Font name="sans" size="17" bold="true"/>
      <Font name="sans" size="11" default="true"/>
      <VerticalLayout name="root" bkcolor="#FF102030" inset="1,2,3,4">
        <Label name="plain" text="中文 text" width="70" height="30" textcolor="#80FC9505" padding="5,6,7,8" sparkle="yes"
               align="center" userdata="http://x/a.mp3" visible="false" enabled="false" mouse="false"/>
        <Slider name="slider" min="10" max="50" value="99" thumbsize="9,11"/>
        <Option name="tab" group="tabs" text="A"/>
        <Label name="low" align="center,bottom"/><Label name="right" align="right vcenter"/>
        <Gizmo name="unknown"><Label name="inside"/></Gizmo>
        <Button name="a"/>
        <Button name="b" textcolor="#FF999999" font="0"/>
      </VerticalLayout></Window>)",
                                            &manager_)));
  }
  template <typename T = CControlUI>
  T* Find(const char* name) {
    return static_cast<T*>(manager_.FindControl(name));
  }

  CPaintManagerUI manager_;
};

TEST_F(BuilderTest, AttributesReachTheirControls) {
  EXPECT_EQ(manager_.GetInitSize().cx, 300);
  EXPECT_EQ(manager_.GetCaptionRect().bottom, 40);
  EXPECT_EQ(manager_.GetRoundCorner().cx, 8);
  EXPECT_EQ(manager_.GetRoundCorner().cy, 6);
  EXPECT_EQ(manager_.GetRoot()->GetBkColor(), 0xFF102030u);
  EXPECT_EQ(Find<CContainerUI>("root")->GetInset().bottom, 4);

  auto* label = Find<CLabelUI>("PLAIN");
  ASSERT_NE(label, nullptr) << "names are found whatever their case";
  EXPECT_STREQ(label->GetClass(), "LabelUI");
  EXPECT_EQ(label->GetText(), "中文 text");
  EXPECT_EQ(label->GetFixedWidth(), 70);
  EXPECT_EQ(label->GetFixedHeight(), 30);
  EXPECT_EQ(label->GetTextColor(), 0x80FC9505u);
  EXPECT_EQ(label->GetPadding().bottom, 8);
  EXPECT_TRUE(label->GetTextStyle() & DT_CENTER);
  constexpr UINT kAlign = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
  EXPECT_EQ(Find<CLabelUI>("low")->GetTextStyle() & kAlign, DT_CENTER | DT_BOTTOM) << "alignment words combine";
  EXPECT_EQ(Find<CLabelUI>("right")->GetTextStyle() & kAlign, DT_RIGHT | DT_VCENTER);
  EXPECT_EQ(label->GetUserData(), "http://x/a.mp3");
  EXPECT_FALSE(label->IsVisible());
  EXPECT_FALSE(label->IsEnabled());
  EXPECT_FALSE(label->IsMouseEnabled());

  auto* slider = Find<CSliderUI>("slider");
  EXPECT_STREQ(slider->GetClass(), "SliderUI");
  EXPECT_EQ(slider->GetMaxValue(), 50);
  EXPECT_EQ(slider->GetValue(), 50) << "a value past the maximum is held at it";
  EXPECT_EQ(slider->GetThumbSize().cy, 11);

  EXPECT_STREQ(Find<COptionUI>("tab")->GetGroup(), "tabs");
  ASSERT_NE(manager_.GetOptionGroup("tabs"), nullptr);
  EXPECT_EQ(manager_.GetOptionGroup("tabs")->size(), 1u);
}

TEST_F(BuilderTest, ClassDefaultsComeFirstAndOwnAttributesOverride) {
  EXPECT_EQ(Find("a")->GetFixedHeight(), 33);
  EXPECT_EQ(Find<CButtonUI>("a")->GetTextColor(), 0xFF111111u);
  EXPECT_EQ(Find<CButtonUI>("b")->GetTextColor(), 0xFF999999u);
  EXPECT_EQ(Find("b")->GetBkColor(), 0xFF222222u);
  EXPECT_EQ(Find("slider")->GetFixedHeight(), 0) << "defaults of one class stay with it";
  EXPECT_EQ(manager_.GetFontCount(), 2);
  EXPECT_EQ(manager_.GetFontInfo(Find<CButtonUI>("b")->GetFont()).size, 17);
  EXPECT_TRUE(manager_.GetFontInfo(0).bold);
  EXPECT_EQ(manager_.GetFontInfo(-1).size, 11) << "the default font";
}

TEST_F(BuilderTest, UnknownAttributesAndElementsAreIgnoredAndMalformedListsKeepWhatParsed) {
  EXPECT_EQ(Find("plain")->GetText(), "中文 text");
  EXPECT_EQ(Find("unknown"), nullptr);
  EXPECT_EQ(Find("inside"), nullptr);
  EXPECT_EQ(Find<CContainerUI>("root")->GetCount(), 7);

  CLabelUI broken;
  broken.ApplyAttributeList(R"(width="44" height="12 text="lost")");
  EXPECT_EQ(broken.GetFixedWidth(), 44) << "what parsed before a malformed part still applies";
}

// Each broken layout gives no content and one stderr line naming the file
// and the fault; text cut inside a character or nested without end is
// refused before the parser reads it.
TEST(BrokenLayoutTest, GivesNoContentAndOneLineNamingFileAndFault) {
  std::string deeplyNested = "<Window>";
  for (int i = 0; i < 300; ++i) deeplyNested += "<VerticalLayout>";
  const std::pair<std::string, const char*> cases[] = {
      {"<Window size=\"10,10\">\n<VerticalLayout>\n<Label text=\"a\">\n</VerticalLayout>", "line 4"},
      {"<Window><Label text=\"\xE4\xB8", "not UTF-8"},
      {deeplyNested, "nested deeper"},
      {"<Window>" + std::string(5000, '<') + "x", "line "},
  };
  for (const auto& [xml, fault] : cases) {
    SCOPED_TRACE(fault);
    CPaintManagerUI manager;
    testing::internal::CaptureStderr();
    CControlUI* root = Build(xml, &manager);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(root, nullptr);
    EXPECT_FALSE(manager.AttachDialog(root));
    EXPECT_NE(said.find("test.xml"), std::string::npos) << said;
    EXPECT_NE(said.find(fault), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  }

  CPaintManagerUI::SetResourcePath("/nonexistent-skin-folder/");
  CPaintManagerUI::SetResourceZip("");
  testing::internal::CaptureStderr();
  EXPECT_EQ(CDialogBuilder().Create("Nowhere.xml"), nullptr);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Nowhere.xml"), std::string::npos);
}

}  // namespace
