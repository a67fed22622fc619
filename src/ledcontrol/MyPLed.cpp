#include "MyPLed.h"

#include "MyPLedAccessible.h"
#include "VariantConversion.h"

#include <QAccessible>
#include <QShowEvent>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace vxled {

namespace {

std::atomic<int> g_liveInstances{0};

// Designed colours of Picture1: green dots, dark green unlit dots, black.
constexpr OleColor kDesignedBackColor = 0x00000000;
constexpr OleColor kDesignedForeColor = 0x0000FF00;
constexpr OleColor kDesignedFillColor = 0x00063003;

constexpr std::int16_t kDefaultLedLeft = 5;
constexpr std::int16_t kDefaultLedTop = 5;
constexpr std::int32_t kDefaultAlignment = TextLeft;
// The saved-caption default differs from the initial caption on purpose: a
// freshly placed control saves "123.4567890" explicitly. Made anew on the
// heap each time: a caption that came from it may outlive this library in the
// host, so it must not point into the library's static data.
QString DefaultSavedCaption() {
    return QString::fromLatin1("123.4");
}

Variant colourVariant(OleColor colour) {
    return static_cast<std::int32_t>(colour);
}

}  // namespace

MyPLed::MyPLed(QWidget* parent) : QWidget(parent), picture1_(new PictureBox(this)) {
    ++g_liveInstances;
    setObjectName(QStringLiteral("MyPLed"));
    // The strip below the surface shows the control's own background.
    setAutoFillBackground(true);
    picture1_->move(0, 0);
    picture1_->setBackColor(kDesignedBackColor);
    picture1_->setForeColor(kDesignedForeColor);
    picture1_->setFillColor(kDesignedFillColor);
    connect(picture1_, &PictureBox::Click, this, &MyPLed::Picture1_Click);
    installMyPLedAccessibility();
    UserControl_Initialize();
}

MyPLed::~MyPLed() {
    --g_liveInstances;
}

int MyPLed::liveInstances() {
    return g_liveInstances.load();
}

QSize MyPLed::sizeHint() const {
    // Wide enough for the initial caption.
    const double tpp = twipsPerPixel();
    return {static_cast<int>(std::lround(2880 / tpp)), static_cast<int>(std::lround(375 / tpp))};
}

double MyPLed::twipsPerPixel() const {
    return 1440.0 / logicalDpiX();
}

void MyPLed::redraw() {
    DrawLed(caption_, picture1_->surface(), LedPosition{ledLeft_, ledTop_}, picture1_->ForeColor(),
            picture1_->FillColor(), alignment_);
    picture1_->update();
}

// --- properties --------------------------------------------------------------

HResult MyPLed::put_Alignment(std::int32_t New_Alignkinds) {
    alignment_ = New_Alignkinds;
    redraw();
    return S_OK;
}

HResult MyPLed::put_LedLeft(std::int16_t New_Left) {
    ledLeft_ = New_Left;
    redraw();
    return S_OK;
}

HResult MyPLed::put_LedTop(std::int16_t New_Top) {
    ledTop_ = New_Top;
    redraw();
    return S_OK;
}

HResult MyPLed::put_Caption(const QString& Value) {
    caption_ = Value;
    redraw();
    announceCaption();
    return S_OK;
}

void MyPLed::announceCaption() {
    // A screen reader hears the caption as the panel's name, or as its
    // description where the host has named the panel.
    const bool named = !MyPLedAccessible::hostName(*this).isEmpty();
    QAccessibleEvent event(this,
                           named ? QAccessible::DescriptionChanged : QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

HResult MyPLed::put_Backcolor(OleColor New_color) {
    const HResult hr = picture1_->setBackColor(New_color);
    if (Failed(hr)) {
        return hr;
    }
    redraw();
    return S_OK;
}

HResult MyPLed::put_LedBackcolor(OleColor New_color) {
    const HResult hr = picture1_->setFillColor(New_color);
    if (Failed(hr)) {
        return hr;
    }
    redraw();
    return S_OK;
}

HResult MyPLed::put_Forecolor(OleColor New_Fcolor) {
    const HResult hr = picture1_->setForeColor(New_Fcolor);
    if (Failed(hr)) {
        return hr;
    }
    redraw();
    return S_OK;
}

// --- life cycle ---------------------------------------------------------------

void MyPLed::UserControl_Initialize() {
    caption_ = QString::fromLatin1(kInitialCaption);
    picture1_->setAutoRedraw(true);
    ledLeft_ = kDefaultLedLeft;
    ledTop_ = kDefaultLedTop;
    alignment_ = kDefaultAlignment;
    redraw();
}

void MyPLed::UserControl_ReadProperties(IPropertyBag& PropBag) {
    // Each key on its own: one that cannot be read or converted leaves its
    // property as it is. No redraw; Resize and Show follow.
    const auto read = [&PropBag](const char* key, const Variant& defaultValue) {
        Variant value;
        const HResult hr = PropBag.ReadProperty(QString::fromLatin1(key), defaultValue, &value);
        return Succeeded(hr) ? std::optional<Variant>(std::move(value)) : std::nullopt;
    };
    if (const auto v = read("LedLeft", kDefaultLedLeft)) {
        if (const auto n = toInt16(*v).value) {
            ledLeft_ = *n;
        }
    }
    if (const auto v = read("LedTop", kDefaultLedTop)) {
        if (const auto n = toInt16(*v).value) {
            ledTop_ = *n;
        }
    }
    // Colours have no default: an absent key fails and the colour stays.
    if (const auto v = read("BackColor", Variant())) {
        if (const auto n = toInt32(*v).value) {
            picture1_->setBackColor(static_cast<OleColor>(*n));
        }
    }
    if (const auto v = read("ForeColor", Variant())) {
        if (const auto n = toInt32(*v).value) {
            picture1_->setForeColor(static_cast<OleColor>(*n));
        }
    }
    if (const auto v = read("LedBackColor", Variant())) {
        if (const auto n = toInt32(*v).value) {
            picture1_->setFillColor(static_cast<OleColor>(*n));
        }
    }
    if (const auto v = read("Caption", DefaultSavedCaption())) {
        if (const auto s = toText(*v).value) {
            caption_ = *s;
            announceCaption();
        }
    }
    if (const auto v = read("Alignment", kDefaultAlignment)) {
        if (const auto n = toInt32(*v).value) {
            alignment_ = *n;
        }
    }
}

void MyPLed::UserControl_Resize() {
    const double tpp = twipsPerPixel();
    // A control lower than the strip gets an empty surface rather than a
    // negative height.
    const double surfaceHeight = std::max(0.0, height() * tpp - kStripTwips);
    picture1_->move(0, 0);
    picture1_->setSizeTwips(width() * tpp, surfaceHeight);
    redraw();
}

void MyPLed::UserControl_Show() {
    redraw();
}

void MyPLed::UserControl_WriteProperties(IPropertyBag& PropBag) {
    // Table order; the first failure ends the save and the rest is not written.
    const std::pair<const char*, std::pair<Variant, Variant>> entries[] = {
        {"LedLeft", {ledLeft_, kDefaultLedLeft}},
        {"LedTop", {ledTop_, kDefaultLedTop}},
        {"BackColor", {colourVariant(picture1_->BackColor()), Variant()}},
        {"ForeColor", {colourVariant(picture1_->ForeColor()), Variant()}},
        {"LedBackColor", {colourVariant(picture1_->FillColor()), Variant()}},
        {"Caption", {caption_, DefaultSavedCaption()}},
        {"Alignment", {alignment_, kDefaultAlignment}},
    };
    for (const auto& [key, valueAndDefault] : entries) {
        const HResult hr = PropBag.WriteProperty(QString::fromLatin1(key), valueAndDefault.first,
                                                 valueAndDefault.second);
        if (Failed(hr)) {
            return;
        }
    }
}

void MyPLed::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void MyPLed::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        UserControl_Show();
    }
}

// --- events -------------------------------------------------------------------

void MyPLed::Picture1_Click() {
    // A sink may unadvise itself while handling the event.
    const QList<IClickSink*> sinks = sinks_;
    for (IClickSink* sink : sinks) {
        sink->Click();
    }
}

HResult MyPLed::Advise(IClickSink* sink) {
    if (sink == nullptr) {
        return E_POINTER;
    }
    if (!sinks_.contains(sink)) {
        sinks_.append(sink);
    }
    return S_OK;
}

HResult MyPLed::Unadvise(IClickSink* sink) {
    return sinks_.removeAll(sink) > 0 ? S_OK : E_INVALIDARG;
}

// --- late binding -------------------------------------------------------------

HResult MyPLed::GetProperty(DispId id, Variant* value) {
    if (value == nullptr) {
        return E_POINTER;
    }
    switch (id) {
        case MyPLedDispId::Alignment:
            *value = alignment_;
            return S_OK;
        case MyPLedDispId::LedLeft:
            *value = ledLeft_;
            return S_OK;
        case MyPLedDispId::LedTop:
            *value = ledTop_;
            return S_OK;
        case MyPLedDispId::Caption:
            *value = caption_;
            return S_OK;
        case MyPLedDispId::Backcolor:
            *value = colourVariant(Backcolor());
            return S_OK;
        case MyPLedDispId::LedBackcolor:
            *value = colourVariant(LedBackcolor());
            return S_OK;
        case MyPLedDispId::Forecolor:
            *value = colourVariant(Forecolor());
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HResult MyPLed::PutProperty(DispId id, const Variant& value) {
    switch (id) {
        case MyPLedDispId::Alignment: {
            const auto n = toInt32(value);
            return n.value ? put_Alignment(*n.value) : n.error;
        }
        case MyPLedDispId::LedLeft: {
            const auto n = toInt16(value);
            return n.value ? put_LedLeft(*n.value) : n.error;
        }
        case MyPLedDispId::LedTop: {
            const auto n = toInt16(value);
            return n.value ? put_LedTop(*n.value) : n.error;
        }
        case MyPLedDispId::Caption: {
            const auto s = toText(value);
            return s.value ? put_Caption(*s.value) : s.error;
        }
        case MyPLedDispId::Backcolor: {
            const auto n = toInt32(value);
            return n.value ? put_Backcolor(static_cast<OleColor>(*n.value)) : n.error;
        }
        case MyPLedDispId::LedBackcolor: {
            const auto n = toInt32(value);
            return n.value ? put_LedBackcolor(static_cast<OleColor>(*n.value)) : n.error;
        }
        case MyPLedDispId::Forecolor: {
            const auto n = toInt32(value);
            return n.value ? put_Forecolor(static_cast<OleColor>(*n.value)) : n.error;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HResult MyPLed::ReadProperties(IPropertyBag& bag) {
    UserControl_ReadProperties(bag);
    return S_OK;
}

HResult MyPLed::WriteProperties(IPropertyBag& bag) {
    UserControl_WriteProperties(bag);
    return S_OK;
}

}  // namespace vxled
