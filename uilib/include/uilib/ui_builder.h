// CDialogBuilder: builds a control tree from a layout of the skin.
//
// Layout format:
//   <Window size="w,h" caption="l,t,r,b" roundcorner="cx,cy" mininfo="w,h" bkcolor=… >
//     <Font name="face" size="13" bold="true" underline="false" italic="false" default="true"/>
//     <Default name="Button" value='attr="…" attr="…"'/>
//     <VerticalLayout …> <Label …/> <Button …/> … </VerticalLayout>
//   </Window>
// The Window element (optional) configures the manager; its first control
// child is the root. Element names are the class names without the "UI"
// ending (Control, Container, VerticalLayout, HorizontalLayout, Label,
// Button, Option, Progress, Slider, List, ListContainerElement); other
// elements are asked of the callback or skipped. Fonts are numbered in the
// order they appear; a control's font="n" names one.
#pragma once

#include <string>

#include "uilib/ui_control.h"

class IDialogBuilderCallback {
 public:
  // A control for an element name the builder does not know, or null.
  virtual CControlUI* CreateControl(LPCTSTR className) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
 public:
  // Builds the layout `layoutName` read from the skin resources. Null (and
  // one line on standard error naming the layout and the fault) when it
  // cannot be read or parsed.
  CControlUI* Create(LPCTSTR layoutName, CPaintManagerUI* manager = nullptr, IDialogBuilderCallback* callback = nullptr);
  // The same from layout text in memory; `layoutName` only names it in errors.
  CControlUI* CreateFromText(const std::string& xml, LPCTSTR layoutName, CPaintManagerUI* manager = nullptr,
                             IDialogBuilderCallback* callback = nullptr);
  // The control for an element name, or null when the name is unknown.
  static CControlUI* CreateControlByName(LPCTSTR className);
};
