#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The embedded map's geography: GSHHG shorelines (with their levels: 1 land, 2 lake, 3 island in
// a lake, 4 pond on such an island), rivers and borders, for the northern hemisphere, kept in
// GSHHG's own square bins. Made once from the GMT data packages through libgmt and stored in a
// compact file of our own, which later starts read in a fraction of a second.
class CoastData {
public:
    enum class Kind : uint8_t { Shore = 0, River = 1, Border = 2 };

    struct Point {
        int32_t Lon, Lat;  // micro-degrees
    };
    struct Line {
        Kind What = Kind::Shore;
        uint8_t Level = 0;
        bool Closed = false;  // a shore ring inside its bin; else it ends on the bin's edge
        std::vector<Point> Points;
    };

    static constexpr double kMicro = 1e-6;

    // GSHHG's resolutions that the data is made from: 'h' high (always there), 'f' full (the
    // package gmt-gshhg-full, when installed).
    static bool Installed(char resolution);

    // The data file in `folder`, made there first when missing or damaged. Slow (seconds for the
    // high resolution, minutes for the full) the first time; false with a message when GMT or
    // its data packages are missing.
    static std::shared_ptr<const CoastData> Prepare(const std::string& folder, char resolution, std::string& error);
    // Reads a data file; nullptr when it is missing or damaged.
    static std::shared_ptr<const CoastData> Load(const std::string& path);

    double BinSize() const { return m_binSize; }      // degrees
    int Columns() const { return m_columns; }          // bins from 180 W eastwards
    int Rows() const { return m_rows; }                // bins from the equator northwards
    // The shoreline level at a bin's south-west corner (0 sea .. 4).
    int CornerLevel(int column, int row) const { return m_cornerLevels[size_t(row) * size_t(m_columns + 1) + size_t(column)]; }
    // Lines that lie within bin (column, row).
    const std::vector<uint32_t>& LinesIn(int column, int row) const { return m_bins[size_t(row) * size_t(m_columns) + size_t(column)]; }
    const Line& LineAt(uint32_t index) const { return m_lines[index]; }
    size_t PointCount() const;

    // Removes the work folders of conversions whose server process is gone (one stopped while
    // it converted): they hold tens of megabytes each and nothing else would ever remove them.
    static void RemoveStaleWork(const std::string& folder);

    // The file's name; its version changes whenever the way it is made changes.
    static std::string FileName(char resolution = 'h');

private:
    bool Index();  // sorts the lines into their bins; false when a line lies outside them

    double m_binSize = 0;
    int m_columns = 0, m_rows = 0;
    std::vector<uint8_t> m_cornerLevels;  // (columns + 1) x (rows + 1) nodes
    std::vector<Line> m_lines;
    std::vector<std::vector<uint32_t>> m_bins;

    friend class CoastDataBuilder;
};
