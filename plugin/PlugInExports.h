#pragma once
// Identity functions exported by the plug-in module with C linkage: who made
// it and which host SDK it was built against. The host looks them up by name.

#define DM_EXPORT extern "C" __attribute__((visibility("default")))

DM_EXPORT const wchar_t* KavraPlugInDeveloperOrganization();
DM_EXPORT const wchar_t* KavraPlugInDeveloperAddress();
DM_EXPORT const wchar_t* KavraPlugInDeveloperCountry();
DM_EXPORT const wchar_t* KavraPlugInDeveloperPhone();
DM_EXPORT const wchar_t* KavraPlugInDeveloperFax();
DM_EXPORT const wchar_t* KavraPlugInDeveloperEmail();
DM_EXPORT const wchar_t* KavraPlugInDeveloperWebsite();
DM_EXPORT int KavraPlugInSdkVersion();
DM_EXPORT int KavraPlugInSdkServiceRelease();
DM_EXPORT const wchar_t* KavraPlugInUpdateURL();
