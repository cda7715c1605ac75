// The module's identity exports, which the host reads before it creates the
// plug-in object. Undecorated C names; the texts have static storage.

#include "plugin/PlugInExports.h"

extern "C" {


const wchar_t* KavraPlugInDeveloperOrganization() { return L"The DuskMoth Render project"; }
const wchar_t* KavraPlugInDeveloperAddress() { return L"DuskMoth Render\r\nexample.org"; }
const wchar_t* KavraPlugInDeveloperCountry() { return L"International"; }
const wchar_t* KavraPlugInDeveloperPhone() { return L"none"; }
const wchar_t* KavraPlugInDeveloperFax() { return L"none"; }
const wchar_t* KavraPlugInDeveloperEmail() { return L"support@example.org"; }
const wchar_t* KavraPlugInDeveloperWebsite() { return L"https://duskmoth.example.org/"; }
int KavraPlugInSdkVersion() { return 200211190; }
int KavraPlugInSdkServiceRelease() { return 200404200; }
const wchar_t* KavraPlugInUpdateURL() { return L"https://duskmoth.example.org/updates/"; }

}
