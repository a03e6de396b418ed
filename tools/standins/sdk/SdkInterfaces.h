// The host SDK's dual interfaces as the stand-in declares them, written from the table of
// methods the program relies on, independently of the program's own declarations: a
// mismatch in the program's slot layout then shows up as a wrong or unexpected call.
//
// Method n of an interface is vtable slot 6 + n (slots 0 to 2 IUnknown, 3 to 6
// IDispatch). Slots the program never calls are placeholders named SlotN; they take no
// arguments, so a call to one of them cannot be answered safely; the stand-in journals it.
// Shared by the stand-in DLL and its test program.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace tessel {

// The host entry class.
// {3003DE76-0439-431D-9684-881C6110504A}
inline constexpr CLSID kClsidHostEntry = {
    0x3003DE76, 0x0439, 0x431D, {0x96, 0x84, 0x88, 0x1C, 0x61, 0x10, 0x50, 0x4A}};

// {48E55D04-996F-4227-9D93-8CCB8235E665}
inline constexpr IID kIidHostEntry = {
    0x48E55D04, 0x996F, 0x4227, {0x9D, 0x93, 0x8C, 0xCB, 0x82, 0x35, 0xE6, 0x65}};
// {2A7456A9-BCFE-44EE-9184-FEDDBA115B6D}
inline constexpr IID kIidConfiguration = {
    0x2A7456A9, 0xBCFE, 0x44EE, {0x91, 0x84, 0xFE, 0xDD, 0xBA, 0x11, 0x5B, 0x6D}};
// {EC9A2D00-24A9-4B8A-BFE4-8DEC7206B42F}
inline constexpr IID kIidLicense = {
    0xEC9A2D00, 0x24A9, 0x4B8A, {0xBF, 0xE4, 0x8D, 0xEC, 0x72, 0x06, 0xB4, 0x2F}};
// {7664854C-020D-4513-BD4F-4C2F509C13C8}
inline constexpr IID kIidReports = {
    0x7664854C, 0x020D, 0x4513, {0xBD, 0x4F, 0x4C, 0x2F, 0x50, 0x9C, 0x13, 0xC8}};
// {E5072341-94AD-46F9-A296-41EA7259F8C6}
inline constexpr IID kIidExtendedAction = {
    0xE5072341, 0x94AD, 0x46F9, {0xA2, 0x96, 0x41, 0xEA, 0x72, 0x59, 0xF8, 0xC6}};
// {1A1BFAFB-CD84-4D7E-99C4-8EB18EE1BF5E}
inline constexpr IID kIidDateTimeFilter = {
    0x1A1BFAFB, 0xCD84, 0x4D7E, {0x99, 0xC4, 0x8E, 0xB1, 0x8E, 0xE1, 0xBF, 0x5E}};
// {8167073D-1889-49F8-BAF2-216FDF46F30D}
inline constexpr IID kIidList = {
    0x8167073D, 0x1889, 0x49F8, {0xBA, 0xF2, 0x21, 0x6F, 0xDF, 0x46, 0xF3, 0x0D}};
// {EE35A2F6-03AB-46EE-A640-55DE05455AFD}
inline constexpr IID kIidEntryMap = {
    0xEE35A2F6, 0x03AB, 0x46EE, {0xA6, 0x40, 0x55, 0xDE, 0x05, 0x45, 0x5A, 0xFD}};
// {7B3191F2-5F53-490C-B03B-EE2D4CACF74F}
inline constexpr IID kIidDateValue = {
    0x7B3191F2, 0x5F53, 0x490C, {0xB0, 0x3B, 0xEE, 0x2D, 0x4C, 0xAC, 0xF7, 0x4F}};
// {9B1B5BD7-0883-4A59-BBD1-7A098CCF10BE}
inline constexpr IID kIidLicenceMap = {
    0x9B1B5BD7, 0x0883, 0x4A59, {0xBB, 0xD1, 0x7A, 0x09, 0x8C, 0xCF, 0x10, 0xBE}};

// Interfaces are released, never deleted through them: no virtual destructor, which
// would add slots that compilers lay out differently.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// A slot the program does not call.
#define TESSEL_SLOT(n) virtual HRESULT STDMETHODCALLTYPE Slot##n() = 0

struct IList;

struct IHostEntry : IDispatch {
  // 1: the SDK data (a VT_ARRAY | VT_UI1 VARIANT); the program ignores the result.
  virtual HRESULT STDMETHODCALLTYPE Initialize(VARIANT data) = 0;
  TESSEL_SLOT(2);
  // 3: the object made from a ProgID (or "VPN_GetTraffic"), inside the VARIANT.
  virtual HRESULT STDMETHODCALLTYPE CreateObject(BSTR name, VARIANT* object) = 0;
};

struct IConfiguration : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  // 3: a configuration item (reserved is 0): VT_I4 or VT_BSTR, VT_BOOL for some.
  virtual HRESULT STDMETHODCALLTYPE GetItem(long reserved, long item, VARIANT* value) = 0;
};

struct ILicense : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  // 3: the licence map of products (filter is VT_EMPTY).
  virtual HRESULT STDMETHODCALLTYPE GetLicenses(VARIANT filter, VARIANT* licences) = 0;
};

struct IReports : IDispatch {
  // 1: runs the query described by an ExtendedAction object (VT_DISPATCH).
  virtual HRESULT STDMETHODCALLTYPE Query(VARIANT action, VARIANT* result) = 0;
  TESSEL_SLOT(2);
  TESSEL_SLOT(3);
  // 4: a page of at most count entries from index first (both VT_UI4).
  virtual HRESULT STDMETHODCALLTYPE GetPage(VARIANT first, VARIANT count, IList** page) = 0;
};

struct IExtendedAction : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  TESSEL_SLOT(3);
  TESSEL_SLOT(4);
  TESSEL_SLOT(5);
  TESSEL_SLOT(6);
  // 7: sets a named property ("Action", "DateFilter").
  virtual HRESULT STDMETHODCALLTYPE SetProperty(BSTR name, VARIANT value) = 0;
};

struct IDateTimeFilter : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  TESSEL_SLOT(3);
  TESSEL_SLOT(4);
  TESSEL_SLOT(5);
  TESSEL_SLOT(6);
  TESSEL_SLOT(7);
  TESSEL_SLOT(8);
  TESSEL_SLOT(9);
  TESSEL_SLOT(10);
  TESSEL_SLOT(11);
  TESSEL_SLOT(12);
  TESSEL_SLOT(13);
  TESSEL_SLOT(14);
  TESSEL_SLOT(15);
  TESSEL_SLOT(16);
  TESSEL_SLOT(17);
  TESSEL_SLOT(18);
  TESSEL_SLOT(19);
  // 20 and 21: the start and end of the period (VT_R8 OLE dates).
  virtual HRESULT STDMETHODCALLTYPE SetStart(VARIANT start) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEnd(VARIANT end) = 0;
};

struct IList : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  TESSEL_SLOT(3);
  // 4: the entry count of the page; 5: the count to walk.
  virtual HRESULT STDMETHODCALLTYPE GetPageCount(long* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCount(long* count) = 0;
  TESSEL_SLOT(6);
  TESSEL_SLOT(7);
  TESSEL_SLOT(8);
  TESSEL_SLOT(9);
  // 10: the entry map at an index.
  virtual HRESULT STDMETHODCALLTYPE GetItem(long index, VARIANT* entry) = 0;
};

struct IEntryMap : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  TESSEL_SLOT(3);
  TESSEL_SLOT(4);
  TESSEL_SLOT(5);
  TESSEL_SLOT(6);
  TESSEL_SLOT(7);
  TESSEL_SLOT(8);
  TESSEL_SLOT(9);
  TESSEL_SLOT(10);
  TESSEL_SLOT(11);
  // 12: the value under a key.
  virtual HRESULT STDMETHODCALLTYPE GetValue(BSTR key, VARIANT* value) = 0;
};

struct IDateValue : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  TESSEL_SLOT(3);
  TESSEL_SLOT(4);
  TESSEL_SLOT(5);
  TESSEL_SLOT(6);
  TESSEL_SLOT(7);
  TESSEL_SLOT(8);
  TESSEL_SLOT(9);
  TESSEL_SLOT(10);
  TESSEL_SLOT(11);
  TESSEL_SLOT(12);
  TESSEL_SLOT(13);
  TESSEL_SLOT(14);
  TESSEL_SLOT(15);
  TESSEL_SLOT(16);
  TESSEL_SLOT(17);
  TESSEL_SLOT(18);
  TESSEL_SLOT(19);
  // 20: the date as an OLE date (VT_DATE).
  virtual HRESULT STDMETHODCALLTYPE GetDate(VARIANT* date) = 0;
};

struct ILicenceMap : IDispatch {
  TESSEL_SLOT(1);
  TESSEL_SLOT(2);
  TESSEL_SLOT(3);
  // 4: the pair count.
  virtual HRESULT STDMETHODCALLTYPE GetCount(long* count) = 0;
  TESSEL_SLOT(5);
  TESSEL_SLOT(6);
  TESSEL_SLOT(7);
  TESSEL_SLOT(8);
  TESSEL_SLOT(9);
  // 10 and 11: the key (VT_BSTR) and the value of the pair at an index.
  virtual HRESULT STDMETHODCALLTYPE GetKey(long index, VARIANT* key) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetValueAt(long index, VARIANT* value) = 0;
  // 12: the value under a key (VT_BSTR).
  virtual HRESULT STDMETHODCALLTYPE GetValue(VARIANT key, VARIANT* value) = 0;
};

#undef TESSEL_SLOT
#pragma GCC diagnostic pop

}  // namespace tessel
