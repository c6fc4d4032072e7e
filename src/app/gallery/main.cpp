// kv-gallery: one window showing the library's controls: bevels of several settings, the bordered
// frame, panels with captions in each alignment, and gauges of every kind at fixed percentages in both
// text modes, with a row of gauges that a timer animates.
//
//   kv-gallery              shows the window
//   kv-gallery --png DIR    paints every control off screen into DIR/<name>.png (and the whole window
//                           into DIR/gallery.png), then exits; needs no display
#include "controls/KvGauge.h"
#include "controls/KvObjControls.h"
#include "controls/KvPanel.h"
#include "platform/ui/Graphics.h"
#include "platform/widgets/ExtCtrls.h"
#include "platform/widgets/Forms.h"
#include "platform/widgets/StdCtrls.h"

#include <QtGui/QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using host::TColor;
using kv::TKvGauge;
using kv::TKvGaugeKind;

constexpr int kMargin = 8;
constexpr int kPercents[] = {0, 25, 42, 66, 100};

const char* kindName(TKvGaugeKind kind) {
    switch (kind) {
    case kv::gkText:
        return "text";
    case kv::gkHorizontalBar:
        return "hbar";
    case kv::gkVerticalBar:
        return "vbar";
    case kv::gkPie:
        return "pie";
    case kv::gkNeedle:
        return "needle";
    }
    return "gauge";
}

struct GaugeShape {
    TKvGaugeKind kind;
    int width, height;
};

constexpr GaugeShape kShapes[] = {
    {kv::gkText, 100, 18}, {kv::gkHorizontalBar, 100, 18}, {kv::gkVerticalBar, 28, 64},
    {kv::gkPie, 64, 64},   {kv::gkNeedle, 84, 46},
};

class GalleryForm : public host::TForm {
  public:
    explicit GalleryForm(host::TComponent* owner) : host::TForm(owner) {
        SetCaption("kv-gallery");
        SetPosition(host::poScreenCenter);
        int y = kMargin;
        y = addBevels(y);
        y = addPanels(y);
        y = addGauges(y);
        y = addAnimated(y);
        SetClientWidth(kGaugeLeft + 10 * kColumn + kMargin);
        SetClientHeight(y + kMargin);
        m_timer = new host::TTimer(this);
        m_timer->SetInterval(40);
        m_timer->OnTimer = [this](host::TObject*) { step(); };
    }

    // The controls that are written as pictures, with their file names.
    const std::vector<std::pair<std::string, host::TControl*>>& Named() const { return m_named; }

    void StopAnimation() { m_timer->SetEnabled(false); }

  private:
    static constexpr int kGaugeLeft = 96;
    static constexpr int kColumn = 108;

    template <typename T> T* add(const std::string& name, int left, int top, int width, int height) {
        auto* control = new T(this);
        control->SetName(name);
        control->SetParent(this);
        control->SetBounds(left, top, width, height);
        m_named.emplace_back(name, control);
        return control;
    }

    host::TLabel* label(const std::string& text, int left, int top) {
        auto* l = new host::TLabel(this);
        l->SetParent(this);
        l->SetCaption(text);
        l->SetLeft(left);
        l->SetTop(top);
        return l;
    }

    int addBevels(int y) {
        label("Bevels and borders", kMargin, y);
        y += 20;
        const int w = 120, h = 64, step = w + 10;
        int x = kMargin;

        add<kv::TKvBorder>("bevel_lowered", x, y, w, h);
        x += step;

        auto* raised = add<kv::TKvBorder>("bevel_raised2", x, y, w, h);
        raised->GetBevel()->SetBevelOuter(host::bvRaised);
        raised->GetBevel()->SetBevelOuterWidth(2);
        x += step;

        // Every frame at once: single line, raised 2, border 3, lowered 1, space 2.
        auto* framed = add<kv::TKvBorder>("bevel_all_frames", x, y, w, h);
        kv::TKvBevel* b = framed->GetBevel();
        b->SetBorderStyle(host::bsSingle);
        b->SetBevelOuter(host::bvRaised);
        b->SetBevelOuterWidth(2);
        b->SetBorderWidth(3);
        b->SetBevelInner(host::bvLowered);
        b->SetBorderSpace(2);
        x += step;

        auto* twin = add<kv::TKvBorder>("bevel_raised_lowered", x, y, w, h);
        twin->GetBevel()->SetBevelOuter(host::bvRaised);
        twin->GetBevel()->SetBevelInner(host::bvLowered);
        twin->GetBevel()->SetBorderWidth(4);
        x += step;

        auto* coloured = add<kv::TKvBorder>("bevel_coloured", x, y, w, h);
        kv::TKvBevel* c = coloured->GetBevel();
        c->SetBevelOuterWidth(3);
        c->SetOuterShadowColor(0x800000);
        c->SetOuterLightColor(0xFFC080);
        c->SetBorderWidth(2);
        c->SetBorderColor(0x0080FF);
        c->SetBevelInner(host::bvRaised);
        c->SetBevelInnerWidth(2);
        c->SetInnerLightColor(0xC0FFC0);
        c->SetInnerShadowColor(0x008000);
        coloured->SetParentColor(false);
        coloured->SetColor(0xE0FFFF);
        x += step;

        auto* space = add<kv::TKvBorder>("bevel_space_outer", x, y, w, h);
        space->GetBevel()->SetBevelOuter(host::bvSpace);
        space->GetBevel()->SetBevelOuterWidth(4);
        space->GetBevel()->SetBevelInner(host::bvLowered);
        x += step;

        auto* clear = add<kv::TKvBorder>("bevel_transparent", x, y, w, h);
        clear->GetBevel()->SetBevelOuterWidth(2);
        clear->SetTransparent(true);
        return y + h + 14;
    }

    int addPanels(int y) {
        label("Panels", kMargin, y);
        y += 20;
        const int w = 170, h = 48, step = w + 10;
        int x = kMargin;
        const std::pair<const char*, host::TAlignment> aligned[] = {{"panel_left", host::taLeftJustify},
                                                                    {"panel_center", host::taCenter},
                                                                    {"panel_right", host::taRightJustify}};
        const char* captions[] = {"Left aligned", "Centred caption", "Right aligned"};
        for (int i = 0; i < 3; ++i) {
            auto* panel = add<kv::TKvPanel>(aligned[i].first, x, y, w, h);
            panel->SetAlignment(aligned[i].second);
            panel->SetCaption(captions[i]);
            x += step;
        }

        auto* framed = add<kv::TKvPanel>("panel_framed", x, y, w, h);
        framed->SetCaption("Raised, border, lowered");
        framed->GetBevel()->SetBevelOuter(host::bvRaised);
        framed->GetBevel()->SetBorderWidth(2);
        framed->GetBevel()->SetBevelInner(host::bvLowered);
        x += step;

        // A panel whose child fills the area inside its bevel.
        auto* holder = add<kv::TKvPanel>("panel_with_child", x, y, w, h);
        holder->GetBevel()->SetBevelOuter(host::bvRaised);
        holder->GetBevel()->SetBevelOuterWidth(2);
        holder->GetBevel()->SetBorderWidth(4);
        auto* child = new kv::TKvBorder(this);
        child->SetParent(holder);
        child->SetAlign(host::alClient);
        child->SetParentColor(false);
        child->SetColor(0xF0E0D0);
        return y + h + 14;
    }

    int addGauges(int y) {
        label("Gauges: inverted text", kGaugeLeft, y);
        label("Gauges: two-colour text (bars)", kGaugeLeft + 5 * kColumn, y);
        y += 20;
        for (int mode = 0; mode < 2; ++mode)
            for (int i = 0; i < 5; ++i)
                label(std::to_string(kPercents[i]) + "%", kGaugeLeft + (mode * 5 + i) * kColumn, y);
        y += 18;
        for (const GaugeShape& shape : kShapes) {
            label(kindName(shape.kind), kMargin, y + 2);
            for (int mode = 0; mode < 2; ++mode) {
                for (int i = 0; i < 5; ++i) {
                    const std::string name = std::string("gauge_") + kindName(shape.kind) + "_" +
                                             std::to_string(kPercents[i]) + (mode ? "_bw" : "_invert");
                    auto* g = add<TKvGauge>(name, kGaugeLeft + (mode * 5 + i) * kColumn, y, shape.width,
                                            shape.height);
                    g->SetKind(shape.kind);
                    g->SetBWText(mode == 1);
                    g->SetProgress(kPercents[i]);
                    if (shape.kind == kv::gkText || shape.kind == kv::gkHorizontalBar) g->SetCaption("Done:");
                }
            }
            y += shape.height + 8;
        }
        return y + 6;
    }

    int addAnimated(int y) {
        label("Animated", kMargin, y);
        y += 20;
        int x = kMargin;
        for (const GaugeShape& shape : kShapes) {
            auto* g = add<TKvGauge>(std::string("animated_") + kindName(shape.kind), x, y, shape.width,
                                    shape.height);
            g->SetKind(shape.kind);
            g->SetMaxValue(400);
            m_animated.push_back(g);
            x += shape.width + 16;
        }
        // A long bar in each text mode counting through a range that is not a multiple of 100.
        for (int mode = 0; mode < 2; ++mode) {
            auto* g =
                add<TKvGauge>(mode ? "animated_long_bw" : "animated_long_invert", x, y + mode * 26, 360, 20);
            g->SetCaption("Extracted:");
            g->SetBWText(mode == 1);
            g->SetForeColor(mode ? host::clNavy : host::clActiveCaption);
            g->SetMaxValue(1237);
            m_animated.push_back(g);
        }
        return y + 64;
    }

    void step() {
        for (TKvGauge* g : m_animated) {
            const int delta = std::max(1, g->GetMaxValue() / 200);
            if (g->GetProgress() >= g->GetMaxValue())
                g->SetProgress(g->GetMinValue());
            else
                g->AddProgress(delta);
        }
    }

    std::vector<std::pair<std::string, host::TControl*>> m_named;
    std::vector<TKvGauge*> m_animated;
    host::TTimer* m_timer = nullptr;
};

// Writes a bitmap painted by PaintTo (32 bits, blue-green-red-unused) as a PNG file.
bool savePng(host::TBitmap& bitmap, const std::filesystem::path& path) {
    const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
    if (w <= 0 || h <= 0 || bitmap.GetPixelFormat() != host::TPixelFormat::pf32bit) return false;
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), bitmap.ScanLine(y), std::size_t(w) * 4);
    return image.save(QString::fromStdString(path.string()), "PNG");
}

int renderPngs(GalleryForm& form, const std::filesystem::path& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "kv-gallery: cannot create %s: %s\n", dir.c_str(), error.message().c_str());
        return 1;
    }
    int failures = 0;
    auto write = [&](host::TControl& control, const std::string& name) {
        host::TBitmap picture;
        host::PaintTo(control, picture);
        if (!savePng(picture, dir / (name + ".png"))) {
            std::fprintf(stderr, "kv-gallery: cannot write %s.png\n", name.c_str());
            ++failures;
        }
    };
    for (const auto& [name, control] : form.Named())
        write(*control, name);
    write(form, "gallery");
    std::printf("kv-gallery: %zu pictures written to %s\n", form.Named().size() + 1, dir.c_str());
    return failures ? 1 : 0;
}

void usage() {
    std::fprintf(stderr, "usage: kv-gallery [--png DIR]\n");
}

} // namespace

int main(int argc, char** argv) {
    std::string pngDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--png" && i + 1 < argc) {
            pngDir = argv[++i];
        } else {
            usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    // Pictures are painted off screen; no display is needed for them.
    if (!pngDir.empty()) setenv("QT_QPA_PLATFORM", "offscreen", 0);

    host::Application->Initialize();
    kv::KvObjInitialization();
    host::Application->SetTitle("kv-gallery");
    GalleryForm* form = nullptr;
    host::Application->CreateForm(form);
    if (!pngDir.empty()) {
        form->StopAnimation();
        const int rc = renderPngs(*form, pngDir);
        delete form;
        return rc;
    }
    host::Application->Run();
    return 0;
}
