// MyPLed: a dot-matrix LED panel that shows its Caption as lit dots on a grid
// of unlit ones. The control is the widget; its drawing surface Picture1
// fills it except for an 80-twip strip at the bottom.
#pragma once

#include "DrawLed.h"
#include "PictureBox.h"
#include "VxLedControl/VxLedControl.h"

#include <QList>
#include <QWidget>

namespace vxled {

class MyPLed final : public QWidget, public IMyPLed {
    Q_OBJECT

  public:
    static constexpr double kStripTwips = 80;
    static constexpr const char* kInitialCaption = "123.4567890";

    explicit MyPLed(QWidget* parent = nullptr);
    ~MyPLed() override;

    // Members of _MyPLed. Each put stores the value and redraws; the colours
    // live in Picture1, so an invalid colour fails the put and nothing changes.
    std::int32_t Alignment() const { return alignment_; }
    HResult put_Alignment(std::int32_t New_Alignkinds);
    std::int16_t LedLeft() const { return ledLeft_; }
    HResult put_LedLeft(std::int16_t New_Left);
    std::int16_t LedTop() const { return ledTop_; }
    HResult put_LedTop(std::int16_t New_Top);
    QString Caption() const { return caption_; }
    HResult put_Caption(const QString& Value);
    OleColor Backcolor() const { return picture1_->BackColor(); }
    HResult put_Backcolor(OleColor New_color);
    OleColor LedBackcolor() const { return picture1_->FillColor(); }
    HResult put_LedBackcolor(OleColor New_color);
    OleColor Forecolor() const { return picture1_->ForeColor(); }
    HResult put_Forecolor(OleColor New_Fcolor);

    PictureBox* Picture1() const { return picture1_; }

    // Life cycle. Initialize runs in the constructor; Resize and Show follow
    // the widget's resize and show events; the container calls Read and Write.
    void UserControl_Initialize();
    void UserControl_ReadProperties(IPropertyBag& PropBag);
    void UserControl_Resize();
    void UserControl_Show();
    void UserControl_WriteProperties(IPropertyBag& PropBag);

    // IDispatch
    HResult GetProperty(DispId id, Variant* value) override;
    HResult PutProperty(DispId id, const Variant& value) override;
    // IPersistPropertyBag
    HResult ReadProperties(IPropertyBag& bag) override;
    HResult WriteProperties(IPropertyBag& bag) override;
    // IControlWidget
    QWidget* widget() override { return this; }
    // IMyPLed
    HResult Advise(IClickSink* sink) override;
    HResult Unadvise(IClickSink* sink) override;

    // Controls alive in this library, for DllCanUnloadNow.
    static int liveInstances();

    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void redraw();
    void announceCaption();
    void Picture1_Click();
    double twipsPerPixel() const;

    PictureBox* picture1_;
    QString caption_;
    std::int32_t alignment_ = TextLeft;
    std::int16_t ledLeft_ = 0;
    std::int16_t ledTop_ = 0;
    QList<IClickSink*> sinks_;
};

}  // namespace vxled
