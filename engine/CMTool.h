#pragma once
// The tool model: an adjustable strength, a radius, and the geometry of the
// stroke point last recorded. Each tool kind computes its own stroke patch.

#include "engine/OffsetCell.h"
#include "engine/ToolKind.h"

#include <cstdint>
#include <optional>

namespace knetix {

class CMAdjustable {
public:
    virtual ~CMAdjustable() = default;

    int32_t value() const { return m_value; }
    // Stores the value clamped to 0..64 and returns the previous one.
    virtual int32_t setValue(int32_t value);

protected:
    int32_t m_value = 64;
};

// The tool fields a project file keeps.
struct ToolRecord {
    int32_t value = 64;
    int32_t radius = 0;
    int32_t radiusSquared = 0;
    int32_t diameter = 1;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
    int32_t strokeActive = 0;
    int32_t lastX = -4096;
    int32_t lastY = -4096;
    double angle = 0.0;
    int32_t directionSine = 0;
    int32_t directionCosine = 0;
    friend bool operator==(const ToolRecord&, const ToolRecord&) = default;
};

class CMTool : public CMAdjustable {
public:
    static constexpr const char* kClassName = "CMTool";
    static constexpr int32_t kNoPoint = -4096;
    // A radius beyond any canvas; keeps r * r and the stroke patch bounded.
    static constexpr int32_t kMaxRadius = 1024;
    // Mouse movement beyond this many pixels within one stroke point counts as
    // this many, so that no product of the tool formulas leaves 32 bits.
    static constexpr int32_t kMaxDistance = 4096;
    // Stroke points are kept within this distance of the picture; farther out a
    // tool square can never reach it.
    static constexpr int32_t kMaxCoordinate = 1 << 24;

    explicit CMTool(int32_t radius = 20);

    virtual const char* className() const { return kClassName; }
    // The kind of a concrete tool; none for the base class.
    virtual std::optional<ToolKind> kind() const { return std::nullopt; }
    // True for the kinds that are applied again every 10 ms while the button is
    // held still.
    virtual bool repeatsWhileHeld() const { return false; }

    void setRadius(int32_t radius);
    void recordPoint(int32_t px, int32_t py, int32_t pictureWidth, int32_t pictureHeight);
    void reset();

    // Computes the stroke patch for one stroke point from the field. The patch
    // has diameter() x diameter() cells; a tool writes only cells of its even
    // rows and columns, and those it leaves must be (0, 0) on entry (the odd
    // rows and columns are filled in afterwards). The square is the tool square
    // in picture coordinates around (x, y). The field is read as
    // pictureWidth() x pictureHeight() cells.
    virtual void apply(const OffsetCell* field, OffsetCell* patch, const Rect& picture,
                       const Rect& square, int32_t x, int32_t y) const;

    // 64 at the last recorded point, falling to 0 at the radius.
    int32_t falloff(int32_t dx, int32_t dy) const;

    int32_t radius() const { return m_radius; }
    int32_t radiusSquared() const { return m_radiusSquared; }
    int32_t diameter() const { return m_diameter; }
    int32_t pictureWidth() const { return m_pictureWidth; }
    int32_t pictureHeight() const { return m_pictureHeight; }
    bool strokeActive() const { return m_strokeActive != 0; }
    int32_t lastX() const { return m_lastX; }
    int32_t lastY() const { return m_lastY; }
    double directionAngle() const { return m_angle; }
    int32_t directionSine() const { return m_directionSine; }
    int32_t directionCosine() const { return m_directionCosine; }
    int32_t movementDistance() const { return m_distance; }

    ToolRecord record() const;
    void restore(const ToolRecord& record);

protected:
    int32_t m_radius = 0;
    int32_t m_radiusSquared = 0;
    int32_t m_diameter = 1;
    int32_t m_pictureWidth = 0;
    int32_t m_pictureWidthM1 = 0;
    int32_t m_pictureHeight = 0;
    int32_t m_pictureHeightM1 = 0;
    int32_t m_strokeActive = 0;
    int32_t m_lastX = kNoPoint;
    int32_t m_lastY = kNoPoint;
    double m_angle = 0.0;
    int32_t m_directionSine = 0;
    int32_t m_directionCosine = 0;
    int32_t m_distance = 0;
};

} // namespace knetix
