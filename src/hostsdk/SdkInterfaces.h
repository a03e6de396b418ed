// The host SDK as the program calls it: the host entry class, the ProgIDs and the dual
// interfaces. Method n of an interface is vtable slot 6 + n (after IUnknown's three and
// IDispatch's four); the slots the program never calls are declared as placeholders so
// that the used ones land where the component has them.
#pragma once

#include <windows.h>
// The headers below need the types of <windows.h>.
#include <oaidl.h>

namespace zentrak::hostsdk {

// {3003DE76-0439-431D-9684-881C6110504A}
inline constexpr CLSID kHostEntryClsid = {
    0x3003DE76, 0x0439, 0x431D, {0x96, 0x84, 0x88, 0x1C, 0x61, 0x10, 0x50, 0x4A}};

namespace progid {
inline constexpr wchar_t kConfiguration[] = L"Tessel.Configuration";
inline constexpr wchar_t kLicense[] = L"Tessel.License";
inline constexpr wchar_t kReports[] = L"Tessel.Reports";
inline constexpr wchar_t kExtendedAction[] = L"Tessel.ExtendedAction";
inline constexpr wchar_t kDateTimeFilter[] = L"Tessel.DateTimeFilterObject";
inline constexpr wchar_t kList[] = L"Tessel.List";
inline constexpr wchar_t kStringMap[] = L"Tessel.StringMap";
inline constexpr wchar_t kVpnTraffic[] = L"VPN_GetTraffic";
}  // namespace progid

// COM interfaces have no virtual destructor (it would add a slot): objects are released,
// never deleted.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#define ZENTRAK_SDK_SLOT(n) virtual HRESULT STDMETHODCALLTYPE Unused##n() = 0

struct IHostEntry : public IDispatch {
  // 1: initialises the object with the program's SDK data (a byte SAFEARRAY).
  virtual HRESULT STDMETHODCALLTYPE Initialize(VARIANT data) = 0;
  ZENTRAK_SDK_SLOT(2);
  // 3: the object of a ProgID (or a named entry map).
  virtual HRESULT STDMETHODCALLTYPE CreateObject(BSTR progid, VARIANT* object) = 0;
};

struct IConfiguration : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  // 3: the value of a Configuration item (the first argument is always 0).
  virtual HRESULT STDMETHODCALLTYPE GetItem(long zero, long item, VARIANT* value) = 0;
};

struct ILicense : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  // 3: the licence map of the products (the argument is VT_EMPTY).
  virtual HRESULT STDMETHODCALLTYPE GetLicences(VARIANT filter, VARIANT* licences) = 0;
};

struct IList;

struct IReports : public IDispatch {
  // 1: runs a query (an ExtendedAction object).
  virtual HRESULT STDMETHODCALLTYPE Query(VARIANT action, VARIANT* result) = 0;
  ZENTRAK_SDK_SLOT(2);
  ZENTRAK_SDK_SLOT(3);
  // 4: one page of the query's reports (first and count are VT_UI4).
  virtual HRESULT STDMETHODCALLTYPE GetPage(VARIANT first, VARIANT count, IList** page) = 0;
};

struct IExtendedAction : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  ZENTRAK_SDK_SLOT(3);
  ZENTRAK_SDK_SLOT(4);
  ZENTRAK_SDK_SLOT(5);
  ZENTRAK_SDK_SLOT(6);
  // 7: sets a named property.
  virtual HRESULT STDMETHODCALLTYPE SetProperty(BSTR name, VARIANT value) = 0;
};

struct IDateTimeFilter : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  ZENTRAK_SDK_SLOT(3);
  ZENTRAK_SDK_SLOT(4);
  ZENTRAK_SDK_SLOT(5);
  ZENTRAK_SDK_SLOT(6);
  ZENTRAK_SDK_SLOT(7);
  ZENTRAK_SDK_SLOT(8);
  ZENTRAK_SDK_SLOT(9);
  ZENTRAK_SDK_SLOT(10);
  ZENTRAK_SDK_SLOT(11);
  ZENTRAK_SDK_SLOT(12);
  ZENTRAK_SDK_SLOT(13);
  ZENTRAK_SDK_SLOT(14);
  ZENTRAK_SDK_SLOT(15);
  ZENTRAK_SDK_SLOT(16);
  ZENTRAK_SDK_SLOT(17);
  ZENTRAK_SDK_SLOT(18);
  ZENTRAK_SDK_SLOT(19);
  // 20, 21: start and end of the filter (VT_R8 dates).
  virtual HRESULT STDMETHODCALLTYPE SetStart(VARIANT start) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetEnd(VARIANT end) = 0;
};

struct IList : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  ZENTRAK_SDK_SLOT(3);
  // 4: entries of the page; 5: entries to walk.
  virtual HRESULT STDMETHODCALLTYPE PageCount(long* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Count(long* count) = 0;
  ZENTRAK_SDK_SLOT(6);
  ZENTRAK_SDK_SLOT(7);
  ZENTRAK_SDK_SLOT(8);
  ZENTRAK_SDK_SLOT(9);
  // 10: the entry map at an index.
  virtual HRESULT STDMETHODCALLTYPE Item(long index, VARIANT* entry) = 0;
};

struct IEntryMap : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  ZENTRAK_SDK_SLOT(3);
  ZENTRAK_SDK_SLOT(4);
  ZENTRAK_SDK_SLOT(5);
  ZENTRAK_SDK_SLOT(6);
  ZENTRAK_SDK_SLOT(7);
  ZENTRAK_SDK_SLOT(8);
  ZENTRAK_SDK_SLOT(9);
  ZENTRAK_SDK_SLOT(10);
  ZENTRAK_SDK_SLOT(11);
  // 12: the value of a key.
  virtual HRESULT STDMETHODCALLTYPE Get(BSTR key, VARIANT* value) = 0;
};

struct IDateValue : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  ZENTRAK_SDK_SLOT(3);
  ZENTRAK_SDK_SLOT(4);
  ZENTRAK_SDK_SLOT(5);
  ZENTRAK_SDK_SLOT(6);
  ZENTRAK_SDK_SLOT(7);
  ZENTRAK_SDK_SLOT(8);
  ZENTRAK_SDK_SLOT(9);
  ZENTRAK_SDK_SLOT(10);
  ZENTRAK_SDK_SLOT(11);
  ZENTRAK_SDK_SLOT(12);
  ZENTRAK_SDK_SLOT(13);
  ZENTRAK_SDK_SLOT(14);
  ZENTRAK_SDK_SLOT(15);
  ZENTRAK_SDK_SLOT(16);
  ZENTRAK_SDK_SLOT(17);
  ZENTRAK_SDK_SLOT(18);
  ZENTRAK_SDK_SLOT(19);
  // 20: the OLE date as a double.
  virtual HRESULT STDMETHODCALLTYPE GetValue(VARIANT* date) = 0;
};

struct ILicenceMap : public IDispatch {
  ZENTRAK_SDK_SLOT(1);
  ZENTRAK_SDK_SLOT(2);
  ZENTRAK_SDK_SLOT(3);
  // 4: number of pairs.
  virtual HRESULT STDMETHODCALLTYPE Count(long* count) = 0;
  ZENTRAK_SDK_SLOT(5);
  ZENTRAK_SDK_SLOT(6);
  ZENTRAK_SDK_SLOT(7);
  ZENTRAK_SDK_SLOT(8);
  ZENTRAK_SDK_SLOT(9);
  // 10, 11: key and value of the pair at an index; 12: the value of a key (VT_BSTR).
  virtual HRESULT STDMETHODCALLTYPE KeyAt(long index, VARIANT* key) = 0;
  virtual HRESULT STDMETHODCALLTYPE ValueAt(long index, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE Get(VARIANT key, VARIANT* value) = 0;
};

#undef ZENTRAK_SDK_SLOT
#pragma GCC diagnostic pop

}  // namespace zentrak::hostsdk

// Interface identifiers, for __uuidof.
__CRT_UUID_DECL(zentrak::hostsdk::IHostEntry, 0x48E55D04, 0x996F, 0x4227, 0x9D, 0x93, 0x8C, 0xCB,
                0x82, 0x35, 0xE6, 0x65)
__CRT_UUID_DECL(zentrak::hostsdk::IConfiguration, 0x2A7456A9, 0xBCFE, 0x44EE, 0x91, 0x84, 0xFE,
                0xDD, 0xBA, 0x11, 0x5B, 0x6D)
__CRT_UUID_DECL(zentrak::hostsdk::ILicense, 0xEC9A2D00, 0x24A9, 0x4B8A, 0xBF, 0xE4, 0x8D, 0xEC,
                0x72, 0x06, 0xB4, 0x2F)
__CRT_UUID_DECL(zentrak::hostsdk::IReports, 0x7664854C, 0x020D, 0x4513, 0xBD, 0x4F, 0x4C, 0x2F,
                0x50, 0x9C, 0x13, 0xC8)
__CRT_UUID_DECL(zentrak::hostsdk::IExtendedAction, 0xE5072341, 0x94AD, 0x46F9, 0xA2, 0x96, 0x41,
                0xEA, 0x72, 0x59, 0xF8, 0xC6)
__CRT_UUID_DECL(zentrak::hostsdk::IDateTimeFilter, 0x1A1BFAFB, 0xCD84, 0x4D7E, 0x99, 0xC4, 0x8E,
                0xB1, 0x8E, 0xE1, 0xBF, 0x5E)
__CRT_UUID_DECL(zentrak::hostsdk::IList, 0x8167073D, 0x1889, 0x49F8, 0xBA, 0xF2, 0x21, 0x6F, 0xDF,
                0x46, 0xF3, 0x0D)
__CRT_UUID_DECL(zentrak::hostsdk::IEntryMap, 0xEE35A2F6, 0x03AB, 0x46EE, 0xA6, 0x40, 0x55, 0xDE,
                0x05, 0x45, 0x5A, 0xFD)
__CRT_UUID_DECL(zentrak::hostsdk::IDateValue, 0x7B3191F2, 0x5F53, 0x490C, 0xB0, 0x3B, 0xEE, 0x2D,
                0x4C, 0xAC, 0xF7, 0x4F)
__CRT_UUID_DECL(zentrak::hostsdk::ILicenceMap, 0x9B1B5BD7, 0x0883, 0x4A59, 0xBB, 0xD1, 0x7A, 0x09,
                0x8C, 0xCF, 0x10, 0xBE)
