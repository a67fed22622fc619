// The VxLedControl "type library": everything a host needs to create and
// drive a MyPLed control without linking the control library. Only Qt headers
// and the standard library are used here, so the header stands on its own.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

class QWidget;

namespace vxled {

// ---------------------------------------------------------------------------
// Identifiers
// ---------------------------------------------------------------------------

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;

    // Accepts the registry spelling "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
    // hex digits in either case.
    static constexpr std::optional<Guid> parse(std::string_view text) {
        if (text.size() != 38 || text.front() != '{' || text.back() != '}') {
            return std::nullopt;
        }
        std::array<std::uint8_t, 16> bytes{};
        std::size_t pos = 1;
        for (std::size_t n = 0; n < 16; ++n) {
            if (pos == 9 || pos == 14 || pos == 19 || pos == 24) {
                if (text[pos] != '-') {
                    return std::nullopt;
                }
                ++pos;
            }
            const int hi = hexValue(text[pos]);
            const int lo = hexValue(text[pos + 1]);
            if (hi < 0 || lo < 0) {
                return std::nullopt;
            }
            bytes[n] = static_cast<std::uint8_t>(hi * 16 + lo);
            pos += 2;
        }
        Guid g;
        g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                  (std::uint32_t{bytes[2]} << 8) | bytes[3];
        g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
        g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
        for (std::size_t n = 0; n < 8; ++n) {
            g.data4[n] = bytes[8 + n];
        }
        return g;
    }

    static std::optional<Guid> parse(const QString& text) {
        const QByteArray latin = text.toLatin1();
        return parse(std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())));
    }

    // Registry spelling, upper case with braces.
    QString toString() const {
        return QStringLiteral("{%1-%2-%3-%4%5-%6%7%8%9%10%11}")
            .arg(data1, 8, 16, QLatin1Char('0'))
            .arg(data2, 4, 16, QLatin1Char('0'))
            .arg(data3, 4, 16, QLatin1Char('0'))
            .arg(data4[0], 2, 16, QLatin1Char('0'))
            .arg(data4[1], 2, 16, QLatin1Char('0'))
            .arg(data4[2], 2, 16, QLatin1Char('0'))
            .arg(data4[3], 2, 16, QLatin1Char('0'))
            .arg(data4[4], 2, 16, QLatin1Char('0'))
            .arg(data4[5], 2, 16, QLatin1Char('0'))
            .arg(data4[6], 2, 16, QLatin1Char('0'))
            .arg(data4[7], 2, 16, QLatin1Char('0'))
            .toUpper();
    }

  private:
    static constexpr int hexValue(char c) {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }
};

// A malformed literal below fails to compile instead of becoming a zero GUID.
consteval Guid guidLiteral(std::string_view text) {
    const std::optional<Guid> g = Guid::parse(text);
    if (!g) {
        throw "malformed GUID literal";
    }
    return *g;
}

// The creatable control class MyPLed.
inline constexpr Guid CLSID_MyPLed = guidLiteral("{78FB632C-F8D8-475F-963C-D788EDC377FD}");
// _MyPLed, the default dispatch interface of MyPLed.
inline constexpr Guid IID_MyPLed = guidLiteral("{476CE14C-1160-4174-B7F3-51D57F9418AB}");
// __MyPLed, the event (source) dispatch interface.
inline constexpr Guid DIID_MyPLedEvents = guidLiteral("{99EE5A33-FF7E-4671-B182-31102E4089F8}");
// The AlignmentKinds enumeration.
inline constexpr Guid GUID_AlignmentKinds = guidLiteral("{11246ADB-503A-4835-8707-B3F784253B69}");
// The type library VxLedControl itself.
inline constexpr Guid LIBID_VxLedControl = guidLiteral("{5C48AA00-06E3-4119-8A5C-296F21FCF357}");

// The well-known COM identifiers, kept so that a class object is asked for in
// the usual way.
inline constexpr Guid IID_IUnknown = guidLiteral("{00000000-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IClassFactory = guidLiteral("{00000001-0000-0000-C000-000000000046}");
inline constexpr Guid IID_IDispatch = guidLiteral("{00020400-0000-0000-C000-000000000046}");

inline constexpr std::string_view kProgId_MyPLed = "VxLedControl.MyPLed";
inline constexpr std::string_view kTypeLibHelpString = "VxLedControl";
inline constexpr std::string_view kTypeLibVersion = "1.0";
inline constexpr std::string_view kFileVersion = "1.03";
// The interfaces' own names, as the registry shows them.
inline constexpr std::string_view kInterfaceName_MyPLed = "_MyPLed";
inline constexpr std::string_view kInterfaceName_MyPLedEvents = "__MyPLed";
// File name of the library in a program folder.
inline constexpr std::string_view kLibraryFileName = "libVxLedControl.so";

// ---------------------------------------------------------------------------
// Results
// ---------------------------------------------------------------------------

using HResult = std::int32_t;

inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002u);
inline constexpr HResult E_POINTER = static_cast<HResult>(0x80004003u);
inline constexpr HResult E_FAIL = static_cast<HResult>(0x80004005u);
inline constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057u);
inline constexpr HResult CLASS_E_CLASSNOTAVAILABLE = static_cast<HResult>(0x80040111u);
inline constexpr HResult SELFREG_E_CLASS = static_cast<HResult>(0x80040201u);
inline constexpr HResult DISP_E_MEMBERNOTFOUND = static_cast<HResult>(0x80020003u);
inline constexpr HResult DISP_E_TYPEMISMATCH = static_cast<HResult>(0x80020005u);
inline constexpr HResult DISP_E_OVERFLOW = static_cast<HResult>(0x8002000Au);
// "Invalid property value" (run-time error 380), e.g. a colour the surface rejects.
inline constexpr HResult CTL_E_INVALIDPROPERTYVALUE = static_cast<HResult>(0x800A017Cu);
// "Data value named not found" (run-time error 327): a bag key that is absent
// and has no default.
inline constexpr HResult CTL_E_DATAVALUENOTFOUND = static_cast<HResult>(0x800A0147u);

constexpr bool Succeeded(HResult hr) {
    return hr >= 0;
}
constexpr bool Failed(HResult hr) {
    return hr < 0;
}

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

// A late-bound value: Empty, Integer (16-bit), Long (32-bit), Double or String.
// Empty as a default means "no default".
using Variant = std::variant<std::monostate, std::int16_t, std::int32_t, double, QString>;

// A colour: 0x00BBGGRR, or 0x80000000 | system colour index. Carried in a
// Variant as a Long with the same bits.
using OleColor = std::uint32_t;

enum AlignmentKinds : std::int32_t {
    TextLeft = 0,
    TextRight = 1,
};

using DispId = std::int32_t;

// Dispatch identifiers of _MyPLed. The host writes Caption late-bound by its
// number, so these values are fixed.
namespace MyPLedDispId {
inline constexpr DispId Alignment = 0x68030006;
inline constexpr DispId LedLeft = 0x68030005;
inline constexpr DispId LedTop = 0x68030004;
inline constexpr DispId Caption = 0x68030003;
inline constexpr DispId Backcolor = 0x68030002;
inline constexpr DispId LedBackcolor = 0x68030001;
inline constexpr DispId Forecolor = 0x68030000;
}  // namespace MyPLedDispId

// Dispatch identifier of the one event of __MyPLed.
namespace MyPLedEventDispId {
inline constexpr DispId Click = 1;
}  // namespace MyPLedEventDispId

// ---------------------------------------------------------------------------
// Interfaces
// ---------------------------------------------------------------------------
// Objects are owned by Qt's parent/child tree, not by reference counts, so the
// interfaces have no AddRef/Release; their destructors are protected.

// Late-bound property access by dispatch identifier.
class IDispatch {
  public:
    virtual HResult GetProperty(DispId id, Variant* value) = 0;
    virtual HResult PutProperty(DispId id, const Variant& value) = 0;

  protected:
    ~IDispatch() = default;
};

// The container's store of a control's saved properties.
class IPropertyBag {
  public:
    // The stored value, or defaultValue when the key is absent. An absent key
    // with an Empty default fails with CTL_E_DATAVALUENOTFOUND.
    virtual HResult ReadProperty(const QString& key, const Variant& defaultValue,
                                 Variant* value) = 0;
    // Stores value, or leaves the key out when value equals defaultValue.
    virtual HResult WriteProperty(const QString& key, const Variant& value,
                                  const Variant& defaultValue) = 0;

  protected:
    ~IPropertyBag() = default;
};

// Loading and saving a control's property set through a bag.
class IPersistPropertyBag {
  public:
    virtual HResult ReadProperties(IPropertyBag& bag) = 0;
    virtual HResult WriteProperties(IPropertyBag& bag) = 0;

  protected:
    ~IPersistPropertyBag() = default;
};

// Sink for the events of __MyPLed.
class IClickSink {
  public:
    virtual void Click() = 0;

  protected:
    ~IClickSink() = default;
};

// The control's own widget, for placing it in a window. The widget is the
// control: deleting it (or its parent) ends the control.
class IControlWidget {
  public:
    virtual QWidget* widget() = 0;

  protected:
    ~IControlWidget() = default;
};

// What CreateInstance hands out for IID_MyPLed.
class IMyPLed : public IDispatch, public IPersistPropertyBag, public IControlWidget {
  public:
    virtual HResult Advise(IClickSink* sink) = 0;
    virtual HResult Unadvise(IClickSink* sink) = 0;

  protected:
    ~IMyPLed() = default;
};

class IClassFactory {
  public:
    // Creates a control as a child of parent; iid selects the interface put
    // into *object (IID_MyPLed, IID_IDispatch or IID_IUnknown).
    virtual HResult CreateInstance(QWidget* parent, const Guid& iid, void** object) = 0;
    // Keeps the library from being unloaded while locked.
    virtual HResult LockServer(bool lock) = 0;

  protected:
    ~IClassFactory() = default;
};

// ---------------------------------------------------------------------------
// Library entry points, looked up by name after dlopen
// ---------------------------------------------------------------------------

inline constexpr const char* kDllRegisterServer = "DllRegisterServer";
inline constexpr const char* kDllUnregisterServer = "DllUnregisterServer";
inline constexpr const char* kDllGetClassObject = "DllGetClassObject";
inline constexpr const char* kDllCanUnloadNow = "DllCanUnloadNow";

using DllRegisterServerFn = HResult (*)();
using DllUnregisterServerFn = HResult (*)();
// For IID_IClassFactory, *object receives an IClassFactory*.
using DllGetClassObjectFn = HResult (*)(const Guid* clsid, const Guid* iid, void** object);
// S_OK when no control and no lock is alive, else S_FALSE.
using DllCanUnloadNowFn = HResult (*)();

}  // namespace vxled
