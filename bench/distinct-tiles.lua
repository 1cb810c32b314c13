-- wrk script: a different tile on every request, from a block of tiles, T=1 first then T=2.
-- Arguments: scale zone firstX firstY columns rows maxRequestsPerThread threads [wms]
-- With "wms" the same squares are asked as WMS GetMap requests (layer "photo", 200 x 200 JPEG)
-- in the zone's WGS 84 UTM, for a WMS server to be measured against the tile server.
local count = 0
local threads = 0

function setup(thread)
  thread:set("id", threads)
  threads = threads + 1
end

function init(args)
  scale, zone = args[1], args[2]
  x0, y0 = tonumber(args[3]), tonumber(args[4])
  columns, rows = tonumber(args[5]), tonumber(args[6])
  limit = tonumber(args[7])
  stride = tonumber(args[8])
  wms = args[9] == "wms"
  metres = 200 * 2 ^ (tonumber(scale) - 10)
end

function request()
  local k = count * stride + id
  count = count + 1
  local x = x0 + k % columns
  local y = y0 + math.floor(k / columns) % rows
  local t = 1 + math.floor(k / (columns * rows)) % 2
  if wms then
    return wrk.format("GET", string.format("/?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetMap&LAYERS=photo&STYLES=" ..
      "&SRS=EPSG:326%02d&BBOX=%d,%d,%d,%d&WIDTH=200&HEIGHT=200&FORMAT=image/jpeg",
      tonumber(zone), x * metres, y * metres, (x + 1) * metres, (y + 1) * metres))
  end
  return wrk.format("GET", "/tile.ashx?T=" .. t .. "&S=" .. scale .. "&X=" .. x .. "&Y=" .. y .. "&Z=" .. zone)
end

function response(status, headers, body)
  if count >= limit then
    wrk.thread:stop()
  end
end
