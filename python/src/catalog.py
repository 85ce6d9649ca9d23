# keldar.catalog: every recording under a folder, one row each. Run inside the
# keldar module's namespace (open_log is the module's own).
import os as _os


def catalog(folder, *, as_dataframe=False):
    """Every recording (*.ondrix) under `folder`, searched recursively, as a list
    of dicts in path order, or with as_dataframe=True as a pandas DataFrame
    (ImportError without pandas). Each row: path, damaged (True when the file
    could not be read whole; error says why, and the row is kept), frames,
    start_ms and end_ms (first and last frame, ms since 1970-01-01 UTC), serial,
    model (the sonar's), navigation (True when it recorded navigation), and
    the track's bounding box min_latitude, max_latitude, min_longitude,
    max_longitude (None without positions)."""
    rows = []
    paths = []
    for root, _dirs, files in _os.walk(_os.fspath(folder)):
        paths.extend(_os.path.join(root, name) for name in files if name.endswith(".ondrix"))
    for path in sorted(paths):
        row = dict(path=path, damaged=False, error=None, frames=0, start_ms=None, end_ms=None, serial=None,
                   model=None, navigation=False, min_latitude=None, max_latitude=None, min_longitude=None,
                   max_longitude=None)
        try:
            with open_log(path) as log:
                sources = log.sources
                for source in sources:
                    if source["type"] == 0:
                        row["serial"] = source["properties"].get("serialNumber")
                        row["model"] = source["properties"].get("modelNumber")
                        break
                row["navigation"] = any(source["type"] == 1 for source in sources)
                row["frames"] = len(log)
                if len(log):
                    row["start_ms"] = log[0].timestamp_ms
                    row["end_ms"] = log[-1].timestamp_ms
                track = log.track()
                if len(track["time"]):
                    row["min_latitude"] = float(track["latitude"].min())
                    row["max_latitude"] = float(track["latitude"].max())
                    row["min_longitude"] = float(track["longitude"].min())
                    row["max_longitude"] = float(track["longitude"].max())
        except Exception as error:  # listed as damaged, never skipped
            row["damaged"] = True
            row["error"] = f"{type(error).__name__}: {error}"
        rows.append(row)
    if as_dataframe:
        import pandas
        return pandas.DataFrame(rows, columns=list(rows[0]) if rows else None)
    return rows
