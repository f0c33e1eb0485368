#include <tinyxml.h>

#include <algorithm>
#include <cstdio>

#include "attributes.h"
#include "platform/text.h"
#include "uilib/ui_builder.h"
#include "uilib/ui_common.h"
#include "uilib/ui_container.h"
#include "uilib/ui_list.h"

namespace {

// Deeper layouts are refused: the parser recurses once per level.
constexpr int kMaxDepth = 200;

// How deeply elements nest in `xml`, counting start tags against end tags
// (comments, declarations and quoted attribute values skipped).
int NestingDepth(const std::string& xml) {
  int depth = 0;
  int deepest = 0;
  size_t at = 0;
  while ((at = xml.find('<', at)) != std::string::npos) {
    if (xml.compare(at, 4, "<!--") == 0) {
      size_t end = xml.find("-->", at + 4);
      if (end == std::string::npos) break;
      at = end + 3;
      continue;
    }
    const bool closing = xml.compare(at, 2, "</") == 0;
    const bool special = xml.compare(at, 2, "<!") == 0 || xml.compare(at, 2, "<?") == 0;
    size_t end = at + 1;
    char quote = 0;
    for (; end < xml.size(); ++end) {
      char ch = xml[end];
      if (quote) {
        if (ch == quote) quote = 0;
      } else if (ch == '"' || ch == '\'') {
        quote = ch;
      } else if (ch == '>') {
        break;
      }
    }
    if (end >= xml.size()) break;
    if (closing) {
      depth = std::max(0, depth - 1);
    } else if (!special && xml[end - 1] != '/') {
      deepest = std::max(deepest, ++depth);
    }
    at = end + 1;
  }
  return deepest;
}

bool Is(LPCTSTR name, LPCTSTR candidate) { return CompareNoCase(name, candidate) == 0; }

// Applies the Window element's attributes to the manager. The size comes
// last, so that a WM_SIZE it causes already sees the caption and corners.
void ApplyWindowAttributes(const TiXmlElement& window, CPaintManagerUI& manager) {
  using namespace uilib;
  SIZE size{0, 0};
  for (const TiXmlAttribute* attribute = window.FirstAttribute(); attribute; attribute = attribute->Next()) {
    LPCTSTR name = attribute->Name();
    LPCTSTR value = attribute->Value();
    if (Is(name, "size")) {
      size = ParseSize(value);
    } else if (Is(name, "caption")) {
      manager.SetCaptionRect(ParseRect(value));
    } else if (Is(name, "roundcorner")) {
      SIZE corner = ParseSize(value);
      manager.SetRoundCorner(corner.cx, corner.cy);
    } else if (Is(name, "mininfo")) {
      SIZE min = ParseSize(value);
      manager.SetMinInfo(min.cx, min.cy);
    } else if (Is(name, "defaulttextcolor") || Is(name, "textcolor")) {
      manager.SetDefaultTextColor(ParseColor(value));
    } else if (Is(name, "disabledtextcolor")) {
      manager.SetDefaultDisabledColor(ParseColor(value));
    }
  }
  if (size.cx > 0 && size.cy > 0) manager.SetInitSize(size.cx, size.cy);
}

void AddFont(const TiXmlElement& element, CPaintManagerUI& manager) {
  using namespace uilib;
  const char* face = element.Attribute("name");
  int size = ParseInt(element.Attribute("size"));
  bool bold = ParseBool(element.Attribute("bold"));
  bool underline = ParseBool(element.Attribute("underline"));
  bool italic = ParseBool(element.Attribute("italic"));
  manager.AddFont(face ? face : "sans-serif", size, bold, underline, italic);
  if (ParseBool(element.Attribute("default"))) manager.SetDefaultFont(face ? face : "sans-serif", size, bold, underline, italic);
}

class TreeBuilder {
 public:
  TreeBuilder(CPaintManagerUI* manager, IDialogBuilderCallback* callback) : manager_(manager), callback_(callback) {}

  // Builds the control elements under `parent` (a container, or null for
  // the root); returns the first control built.
  CControlUI* BuildChildren(const TiXmlElement& node, CControlUI* parent) {
    CControlUI* first = nullptr;
    for (const TiXmlElement* element = node.FirstChildElement(); element; element = element->NextSiblingElement()) {
      LPCTSTR className = element->Value();
      if (Is(className, "Font") || Is(className, "Default") || Is(className, "Image")) continue;
      CControlUI* control = CDialogBuilder::CreateControlByName(className);
      if (!control && callback_) control = callback_->CreateControl(className);
      if (!control) continue;
      if (manager_) {
        if (LPCTSTR defaults = manager_->GetDefaultAttributeList(className)) control->ApplyAttributeList(defaults);
      }
      for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next()) {
        control->SetAttribute(attribute->Name(), attribute->Value());
      }
      if (element->FirstChildElement()) {
        auto* container = static_cast<CContainerUI*>(control->GetInterface("Container"));
        if (container) BuildChildren(*element, control);
      }
      if (parent) {
        auto* container = static_cast<CContainerUI*>(parent->GetInterface("Container"));
        if (!container || !container->Add(control)) {
          delete control;
          continue;
        }
      } else if (first) {
        // Only one root: further top-level controls have no place.
        delete control;
        continue;
      }
      if (!first) first = control;
    }
    return first;
  }

 private:
  CPaintManagerUI* manager_;
  IDialogBuilderCallback* callback_;
};

}  // namespace

CControlUI* CDialogBuilder::CreateControlByName(LPCTSTR className) {
  if (Is(className, "Control")) return new CControlUI;
  if (Is(className, "Container")) return new CContainerUI;
  if (Is(className, "VerticalLayout")) return new CVerticalLayoutUI;
  if (Is(className, "HorizontalLayout")) return new CHorizontalLayoutUI;
  if (Is(className, "Label") || Is(className, "Text")) return new CLabelUI;
  if (Is(className, "Button")) return new CButtonUI;
  if (Is(className, "Option")) return new COptionUI;
  if (Is(className, "Progress")) return new CProgressUI;
  if (Is(className, "Slider")) return new CSliderUI;
  if (Is(className, "List")) return new CListUI;
  if (Is(className, "ListContainerElement")) return new CListContainerElementUI;
  return nullptr;
}

CControlUI* CDialogBuilder::Create(LPCTSTR layoutName, CPaintManagerUI* manager, IDialogBuilderCallback* callback) {
  std::string xml;
  if (!CPaintManagerUI::LoadResource(layoutName, &xml)) {
    std::fprintf(stderr, "uilib: layout %s: cannot be read from the skin (%s%s)\n", layoutName ? layoutName : "",
                 CPaintManagerUI::GetResourcePath().GetData(), CPaintManagerUI::GetResourceZip().GetData());
    return nullptr;
  }
  return CreateFromText(xml, layoutName, manager, callback);
}

CControlUI* CDialogBuilder::CreateFromText(const std::string& xml, LPCTSTR layoutName, CPaintManagerUI* manager,
                                           IDialogBuilderCallback* callback) {
  LPCTSTR name = layoutName ? layoutName : "";
  // The parser reads past the end of a text whose last UTF-8 character is cut.
  if (!platform::IsValidUtf8(xml)) {
    std::fprintf(stderr, "uilib: layout %s: not UTF-8 text\n", name);
    return nullptr;
  }
  if (NestingDepth(xml) > kMaxDepth) {
    std::fprintf(stderr, "uilib: layout %s: elements nested deeper than %d levels\n", name, kMaxDepth);
    return nullptr;
  }
  TiXmlDocument document;
  document.Parse(xml.c_str(), nullptr, TIXML_ENCODING_UTF8);
  if (document.Error()) {
    std::fprintf(stderr, "uilib: layout %s: line %d, column %d: %s\n", name,
                 document.ErrorRow(), document.ErrorCol(), document.ErrorDesc());
    return nullptr;
  }
  const TiXmlElement* top = document.RootElement();
  if (!top) {
    std::fprintf(stderr, "uilib: layout %s: no root element\n", name);
    return nullptr;
  }
  TreeBuilder builder(manager, callback);
  if (!Is(top->Value(), "Window")) {
    // A bare control tree without window settings.
    TiXmlElement holder("Window");
    holder.InsertEndChild(*top);
    CControlUI* root = builder.BuildChildren(holder, nullptr);
    if (!root) std::fprintf(stderr, "uilib: layout %s: no control element\n", name);
    return root;
  }
  if (manager) {
    for (const TiXmlElement* element = top->FirstChildElement(); element; element = element->NextSiblingElement()) {
      if (Is(element->Value(), "Font")) {
        AddFont(*element, *manager);
      } else if (Is(element->Value(), "Default")) {
        const char* className = element->Attribute("name");
        const char* value = element->Attribute("value");
        if (className && value) manager->AddDefaultAttributeList(className, value);
      }
    }
    ApplyWindowAttributes(*top, *manager);
  }
  CControlUI* root = builder.BuildChildren(*top, nullptr);
  if (!root) std::fprintf(stderr, "uilib: layout %s: no control element\n", name);
  return root;
}
