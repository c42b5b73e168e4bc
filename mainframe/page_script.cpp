#include "mainframe/page_script.h"

namespace page_script {

const wchar_t kClickDeclareButton[] =
    L"var btnTitle=\"\x7533\x62a5\";var eles=document.getElementsByClassName(\"ant-btn\");"
    L"for(var i=0;i<eles.length;i++){inText=eles[i].innerText.replace(/[ ]/g,\"\");"
    L"if(inText==btnTitle)  {eles[i].click();break;}}";
const wchar_t kClickFirstCheckbox[] =
    L"var checkele=document.getElementsByClassName(\"ant-checkbox\")[0]; checkele.click();";

const wchar_t* ScriptFor(WPARAM request) {
    switch (request) {
        case 4:
            return kClickDeclareButton;
        case 3:
            return kClickFirstCheckbox;
        default:
            return nullptr;
    }
}

}  // namespace page_script
