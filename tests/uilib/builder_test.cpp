#include <gtest/gtest.h>

#include "uilib/UIlib.h"

namespace {

CControlUI* Build(const std::string& xml, CPaintManagerUI* manager) {
  CDialogBuilder builder;
  return builder.CreateFromText(xml, "test.xml", manager);
}

TEST(BuilderTest, AttributesReachTheirControls) {
  CPaintManagerUI manager;
  CControlUI* root = Build(R"(<Window size="300,200" caption="0,0,0,40" roundcorner="8,6">
      <VerticalLayout name="root" bkcolor="#FF102030" inset="1,2,3,4">
        <Label name="plain" text="中文 text" width="70" height="30" textcolor="#80FC9505" padding="5,6,7,8"
               align="center" userdata="http://x/a.mp3" visible="false" enabled="false" mouse="false"/>
        <Slider name="slider" min="10" max="50" value="99" thumbsize="9,11"/>
        <Option name="tab" group="tabs" text="A"/>
      </VerticalLayout></Window>)",
                           &manager);
  ASSERT_NE(root, nullptr);
  manager.AttachDialog(root);

  EXPECT_EQ(manager.GetInitSize().cx, 300);
  EXPECT_EQ(manager.GetCaptionRect().bottom, 40);
  EXPECT_EQ(manager.GetRoundCorner().cx, 8);
  EXPECT_EQ(manager.GetRoundCorner().cy, 6);
  EXPECT_EQ(root->GetBkColor(), 0xFF102030u);
  EXPECT_EQ(static_cast<CContainerUI*>(root)->GetInset().bottom, 4);

  auto* label = static_cast<CLabelUI*>(manager.FindControl("PLAIN"));
  ASSERT_NE(label, nullptr);
  EXPECT_STREQ(label->GetClass(), "LabelUI");
  EXPECT_EQ(label->GetText(), "中文 text");
  EXPECT_EQ(label->GetFixedWidth(), 70);
  EXPECT_EQ(label->GetFixedHeight(), 30);
  EXPECT_EQ(label->GetTextColor(), 0x80FC9505u);
  EXPECT_EQ(label->GetPadding().bottom, 8);
  EXPECT_TRUE(label->GetTextStyle() & DT_CENTER);
  EXPECT_EQ(label->GetUserData(), "http://x/a.mp3");
  EXPECT_FALSE(label->IsVisible());
  EXPECT_FALSE(label->IsEnabled());
  EXPECT_FALSE(label->IsMouseEnabled());

  auto* slider = static_cast<CSliderUI*>(manager.FindControl("slider"));
  ASSERT_NE(slider, nullptr);
  EXPECT_STREQ(slider->GetClass(), "SliderUI");
  EXPECT_EQ(slider->GetMaxValue(), 50);
  EXPECT_EQ(slider->GetValue(), 50) << "a value past the maximum is held at it";
  EXPECT_EQ(slider->GetThumbSize().cy, 11);

  auto* option = static_cast<COptionUI*>(manager.FindControl("tab"));
  ASSERT_NE(option, nullptr);
  EXPECT_STREQ(option->GetGroup(), "tabs");
  ASSERT_NE(manager.GetOptionGroup("tabs"), nullptr);
  EXPECT_EQ(manager.GetOptionGroup("tabs")->size(), 1u);
}

TEST(BuilderTest, ClassDefaultsComeFirstAndOwnAttributesOverride) {
  CPaintManagerUI manager;
  CControlUI* root = Build(R"(<Window>
      <Default name="Button" value='height="33" textcolor="#FF111111" bkcolor="#FF222222"'/>
      <Font name="sans" size="17" bold="true"/>
      <Font name="sans" size="11" default="true"/>
      <HorizontalLayout>
        <Button name="a"/>
        <Button name="b" textcolor="#FF999999" font="0"/>
        <Label name="c"/>
      </HorizontalLayout></Window>)",
                           &manager);
  ASSERT_NE(root, nullptr);
  manager.AttachDialog(root);
  auto* a = static_cast<CButtonUI*>(manager.FindControl("a"));
  auto* b = static_cast<CButtonUI*>(manager.FindControl("b"));
  auto* c = static_cast<CLabelUI*>(manager.FindControl("c"));
  EXPECT_EQ(a->GetFixedHeight(), 33);
  EXPECT_EQ(a->GetTextColor(), 0xFF111111u);
  EXPECT_EQ(b->GetTextColor(), 0xFF999999u);
  EXPECT_EQ(b->GetBkColor(), 0xFF222222u);
  EXPECT_EQ(c->GetFixedHeight(), 0) << "defaults of one class stay with it";
  EXPECT_EQ(manager.GetFontCount(), 2);
  EXPECT_EQ(manager.GetFontInfo(b->GetFont()).size, 17);
  EXPECT_TRUE(manager.GetFontInfo(0).bold);
  EXPECT_EQ(manager.GetFontInfo(-1).size, 11) << "the default font";
}

TEST(BuilderTest, UnknownAttributesAndElementsAreIgnored) {
  CPaintManagerUI manager;
  CControlUI* root = Build(R"(<Window><VerticalLayout>
      <Label name="kept" sparkle="yes" text="t"/>
      <Gizmo name="unknown"><Label name="inside"/></Gizmo>
      <Button name="after"/>
    </VerticalLayout></Window>)",
                           &manager);
  ASSERT_NE(root, nullptr);
  manager.AttachDialog(root);
  EXPECT_EQ(manager.FindControl("kept")->GetText(), "t");
  EXPECT_EQ(manager.FindControl("unknown"), nullptr);
  EXPECT_NE(manager.FindControl("after"), nullptr);
  EXPECT_EQ(static_cast<CContainerUI*>(root)->GetCount(), 2);
}

TEST(BuilderTest, BrokenLayoutGivesNoContentAndOneLineNamingFileAndFault) {
  CPaintManagerUI manager;
  testing::internal::CaptureStderr();
  CControlUI* root = Build("<Window size=\"10,10\">\n<VerticalLayout>\n<Label text=\"a\">\n</VerticalLayout>", &manager);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(root, nullptr);
  EXPECT_FALSE(manager.AttachDialog(root));
  EXPECT_NE(said.find("test.xml"), std::string::npos) << said;
  EXPECT_NE(said.find("line 4"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

TEST(BuilderTest, TextEndingInsideACharacterIsRefusedBeforeParsing) {
  CPaintManagerUI manager;
  testing::internal::CaptureStderr();
  CControlUI* cut = Build("<Window><Label text=\"\xE4\xB8", &manager);
  CControlUI* deep = Build(std::string(5000, '<').insert(0, "<Window>") + "x", &manager);
  std::string nested;
  for (int i = 0; i < 300; ++i) nested += "<VerticalLayout>";
  CControlUI* tooDeep = Build("<Window>" + nested, &manager);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(cut, nullptr);
  EXPECT_EQ(deep, nullptr);
  EXPECT_EQ(tooDeep, nullptr);
  EXPECT_NE(said.find("not UTF-8"), std::string::npos) << said;
  EXPECT_NE(said.find("nested deeper"), std::string::npos) << said;
}

TEST(BuilderTest, MissingLayoutIsReportedWithItsName) {
  CPaintManagerUI::SetResourcePath("/nonexistent-skin-folder/");
  CPaintManagerUI::SetResourceZip("");
  testing::internal::CaptureStderr();
  CDialogBuilder builder;
  CControlUI* root = builder.Create("Nowhere.xml");
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(root, nullptr);
  EXPECT_NE(said.find("Nowhere.xml"), std::string::npos) << said;
}

// The attribute strings the player gives its track rows.
TEST(BuilderTest, AttributeListsOfTrackRows) {
  CListContainerElementUI row;
  row.ApplyAttributeList("height=\"30\" inset=\"0,0,50,0\" bkcolor=\"#FFf5f5f5\"");
  EXPECT_EQ(row.GetFixedHeight(), 30);
  EXPECT_EQ(row.GetInset().right, 50);
  EXPECT_EQ(row.GetBkColor(), 0xFFF5F5F5u);

  CLabelUI title;
  title.ApplyAttributeList("name=\"songname\" align=\"left\" mouse=\"false\" textcolor=\"#FF666666\"");
  EXPECT_EQ(title.GetName(), "songname");
  EXPECT_FALSE(title.IsMouseEnabled());
  EXPECT_EQ(title.GetTextColor(), 0xFF666666u);
  EXPECT_FALSE(title.GetTextStyle() & (DT_CENTER | DT_RIGHT));

  CLabelUI time;
  time.ApplyAttributeList("align=\"right\" mouse=\"false\" textcolor=\"#FF666666\" width=\"60\"");
  EXPECT_TRUE(time.GetTextStyle() & DT_RIGHT);
  EXPECT_EQ(time.GetFixedWidth(), 60);

  CLabelUI corner;
  corner.ApplyAttributeList("align=\"center,bottom\"");
  EXPECT_EQ(corner.GetTextStyle() & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM), DT_CENTER | DT_BOTTOM);
  corner.ApplyAttributeList("align=\"right vcenter\"");
  EXPECT_EQ(corner.GetTextStyle() & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM), DT_RIGHT | DT_VCENTER);

  CLabelUI broken;
  broken.ApplyAttributeList("width=\"44\" height=\"12 text=\"lost\"");
  EXPECT_EQ(broken.GetFixedWidth(), 44) << "what parsed before a malformed part still applies";
}

TEST(BuilderTest, HugeNumbersAreHeldToSaneSizes) {
  CPaintManagerUI manager;
  CControlUI* root = Build(R"(<Window><VerticalLayout>
      <Label name="a" height="99999999999"/><Label name="b" height="2147483647"/><Label name="c"/>
    </VerticalLayout></Window>)",
                           &manager);
  ASSERT_NE(root, nullptr);
  manager.AttachDialog(root);
  manager.SetInitSize(100, 100);
  manager.UpdateLayout();
  EXPECT_LE(manager.FindControl("a")->GetFixedHeight(), 100000);
  EXPECT_GE(manager.FindControl("c")->GetPos().top, manager.FindControl("b")->GetPos().bottom);
}

TEST(StringTest, FormatFollowsPrintf) {
  CStdString text;
  EXPECT_EQ(text.Format("%02d:%02d / %s %d%%", 4, 5, "总", 40), 15);
  EXPECT_EQ(text, "04:05 / 总 40%");
  std::string longText(1000, 'x');
  text.Format("正在播放-%s", longText.c_str());
  EXPECT_EQ(text.GetLength(), static_cast<int>(longText.size()) + 13) << "no fixed buffer cuts it";
  EXPECT_EQ(CStdString("DjSorts").CompareNoCase("djsorts"), 0);
  EXPECT_NE(CStdString("ÄB").CompareNoCase("äb"), 0) << "only ASCII letters fold";
}

}  // namespace
