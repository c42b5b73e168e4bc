#include "UIlib.h"
#include "UIInternal.h"

#include <pugixml.hpp>

namespace DuiLib {

CControlUI* CDialogBuilder::CreateControlByClass(LPCTSTR c) {
    if (!c) return NULL;
    struct Entry {
        LPCTSTR name;
        CControlUI* (*make)();
    };
    static const Entry table[] = {
        {DUI_CTR_CONTROL, [] { return (CControlUI*)new CControlUI; }},
        {DUI_CTR_CONTAINER, [] { return (CControlUI*)new CContainerUI; }},
        {DUI_CTR_VERTICALLAYOUT, [] { return (CControlUI*)new CVerticalLayoutUI; }},
        {DUI_CTR_HORIZONTALLAYOUT, [] { return (CControlUI*)new CHorizontalLayoutUI; }},
        {DUI_CTR_TABLAYOUT, [] { return (CControlUI*)new CTabLayoutUI; }},
        {DUI_CTR_LABEL, [] { return (CControlUI*)new CLabelUI; }},
        {DUI_CTR_TEXT, [] { return (CControlUI*)new CLabelUI; }},
        {DUI_CTR_BUTTON, [] { return (CControlUI*)new CButtonUI; }},
        {DUI_CTR_OPTION, [] { return (CControlUI*)new COptionUI; }},
        {DUI_CTR_CHECKBOX, [] { return (CControlUI*)new CCheckBoxUI; }},
        {DUI_CTR_EDIT, [] { return (CControlUI*)new CEditUI; }},
        {DUI_CTR_COMBO, [] { return (CControlUI*)new CComboUI; }},
        {DUI_CTR_LISTLABELELEMENT, [] { return (CControlUI*)new CListLabelElementUI; }},
        {DUI_CTR_MENUELEMENT, [] { return (CControlUI*)new CMenuElementUI; }},
        {_T("Menu"), [] { return (CControlUI*)new CVerticalLayoutUI; }},
    };
    for (const Entry& e : table)
        if (_wcsicmp(e.name, c) == 0) return e.make();
    return NULL;
}

CControlUI* CDialogBuilder::Create(STRINGorID xml, LPCTSTR type, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent) {
    (void)type;
    if (!xml.m_lpstr || IS_INTRESOURCE(xml.m_lpstr) || !*xml.m_lpstr) return NULL;   // files only
    std::wstring path(xml.m_lpstr);
    bool absolute = path.size() > 1 && (path[1] == L':' || (path[0] == L'\\' && path[1] == L'\\'));
    if (!absolute) path = std::wstring(CPaintManagerUI::GetResourcePath().GetData()) + path;
    for (auto& ch : path)
        if (ch == L'/') ch = L'\\';
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf8)) return NULL;
    Internal::Mark("skin-read", path.c_str());
    CControlUI* root = Build(&doc, pCallback, pManager, pParent);
    Internal::Mark("skin-built", path.c_str());
    return root;
}

CControlUI* CDialogBuilder::CreateFromString(LPCTSTR xmlText, IDialogBuilderCallback* pCallback,
                                             CPaintManagerUI* pManager, CControlUI* pParent) {
    if (!xmlText) return NULL;
    pugi::xml_document doc;
    if (!doc.load_string(xmlText)) return NULL;
    return Build(&doc, pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::Build(void* pdoc, IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager,
                                  CControlUI* pParent) {
    m_pCallback = pCallback;
    pugi::xml_document& doc = *static_cast<pugi::xml_document*>(pdoc);
    pugi::xml_node root = doc.document_element();
    if (!root) return NULL;
    if (_wcsicmp(root.name(), L"Window") != 0) {
        // A bare control tree.
        pugi::xml_node holder = doc;
        return Parse(&holder, pParent, pManager);
    }
    if (pManager) {
        for (pugi::xml_attribute a : root.attributes()) {
            LPCTSTR n = a.name(), v = a.value();
            if (_wcsicmp(n, L"size") == 0) {
                SIZE sz = CControlUI::ParseSize(v);
                pManager->SetInitSize(sz.cx, sz.cy);
            } else if (_wcsicmp(n, L"caption") == 0) pManager->SetCaptionRect(CControlUI::ParseRect(v));
            else if (_wcsicmp(n, L"sizebox") == 0) pManager->SetSizeBox(CControlUI::ParseRect(v));
            else if (_wcsicmp(n, L"mininfo") == 0) {
                SIZE sz = CControlUI::ParseSize(v);
                pManager->SetMinInfo(sz.cx, sz.cy);
            } else if (_wcsicmp(n, L"maxinfo") == 0) {
                SIZE sz = CControlUI::ParseSize(v);
                pManager->SetMaxInfo(sz.cx, sz.cy);
            } else if (_wcsicmp(n, L"roundcorner") == 0) {
                SIZE sz = CControlUI::ParseSize(v);
                pManager->SetRoundCorner(sz.cx, sz.cy);
            }
        }
        for (pugi::xml_node n : root.children()) {
            if (n.type() != pugi::node_element) continue;
            if (_wcsicmp(n.name(), L"Font") == 0) {
                pManager->AddFont(n.attribute(L"id").as_int(-1), n.attribute(L"name").value(),
                                  n.attribute(L"size").as_int(12), CControlUI::ParseBool(n.attribute(L"bold").value()),
                                  CControlUI::ParseBool(n.attribute(L"underline").value()),
                                  CControlUI::ParseBool(n.attribute(L"italic").value()),
                                  CControlUI::ParseBool(n.attribute(L"default").value()));
            } else if (_wcsicmp(n.name(), L"Default") == 0) {
                pManager->AddDefaultAttributeList(n.attribute(L"name").value(), n.attribute(L"value").value());
            }
        }
    }
    return Parse(&root, pParent, pManager);
}

CControlUI* CDialogBuilder::Parse(void* pnode, CControlUI* pParent, CPaintManagerUI* pManager, int depth) {
    if (depth > kMaxDepth) return NULL;
    pugi::xml_node& parentNode = *static_cast<pugi::xml_node*>(pnode);
    CControlUI* first = NULL;
    for (pugi::xml_node node : parentNode.children()) {
        if (node.type() != pugi::node_element) continue;
        LPCTSTR cls = node.name();
        if (_wcsicmp(cls, L"Font") == 0 || _wcsicmp(cls, L"Default") == 0 || _wcsicmp(cls, L"Image") == 0) continue;
        CControlUI* c = CreateControlByClass(cls);
        if (!c && m_pCallback) c = m_pCallback->CreateControl(cls);
        if (!c) continue;   // unknown tag: skipped with its children
        if (pManager) {
            c->SetManager(pManager, NULL, false);
            if (LPCTSTR defaults = pManager->GetDefaultAttributeList(cls)) c->ApplyAttributeList(defaults);
        }
        for (pugi::xml_attribute a : node.attributes()) c->SetAttribute(a.name(), a.value());
        if (c->GetInterface(DUI_CTR_CONTAINER)) Parse(&node, c, pManager, depth + 1);
        if (pParent) {
            CContainerUI* box = static_cast<CContainerUI*>(pParent->GetInterface(DUI_CTR_CONTAINER));
            if (!box || !box->Add(c)) {
                delete c;
                continue;
            }
        }
        if (!first) first = c;
        if (!pParent) break;   // a tree has one root
    }
    return first;
}

} // namespace DuiLib
