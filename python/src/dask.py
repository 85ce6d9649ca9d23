"""A survey's recordings as one Dask collection: keldar.dask.frames(paths) is a
lazy bag of frames, keldar.dask.images(paths) a lazy uint8 array of shape
(frames, ranges, beams). Each partition or chunk opens its recording in the
worker that computes it, so the work spreads over a distributed cluster."""
import dask.array as _array
import dask.bag as _bag
from dask import delayed as _delayed
import numpy as _numpy

_keldar = __keldar_module__


def _length_and_shape(path):
    with _keldar.open_log(path) as log:
        count = len(log)
        shape = log[0].image.shape if count else None
    return count, shape


def _spans(count, per):
    step = per or max(count, 1)
    return [(first, min(count, first + step)) for first in range(0, count, step)]


def _frame_dict(path, frame):
    return dict(path=path, frame=frame.frame, timestamp_ms=frame.timestamp_ms, image=frame.image,
                bearings_deg=frame.bearings_deg, row_ranges_m=frame.row_ranges_m, range_m=frame.range_m,
                position=frame.position, heading=frame.heading)


def _read_frames(path, first, stop):
    with _keldar.open_log(path) as log:
        return [_frame_dict(path, log[index]) for index in range(first, stop)]


def _read_images(path, first, stop):
    with _keldar.open_log(path) as log:
        return log.to_numpy(first=first, last=stop - 1)["images"]


def frames(paths, frames_per_partition=None):
    """A dask.bag of the frames of every recording in `paths`, in order: each
    item a dict of path, frame, timestamp_ms, image (uint8, ranges x beams),
    bearings_deg, row_ranges_m, range_m, position ((lat, lon) or None) and
    heading (or None). One partition per recording, or per
    `frames_per_partition` frames."""
    parts = []
    for path in map(str, paths):
        count, _shape = _length_and_shape(path)
        parts.extend(_delayed(_read_frames)(path, first, stop) for first, stop in _spans(count, frames_per_partition))
    return _bag.from_delayed(parts)


def images(paths, frames_per_chunk=None):
    """A dask.array (frames, ranges, beams) of uint8 over the recordings in
    `paths`, which must share one image shape (ValueError otherwise). One chunk
    per recording, or per `frames_per_chunk` frames."""
    blocks = []
    shape = None
    for path in map(str, paths):
        count, this = _length_and_shape(path)
        if count == 0:
            continue
        if shape is not None and this != shape:
            raise ValueError(f"{path} has images of {this[0]} ranges x {this[1]} beams, the others {shape}")
        shape = this
        for first, stop in _spans(count, frames_per_chunk):
            blocks.append(_array.from_delayed(_delayed(_read_images)(path, first, stop),
                                              shape=(stop - first, *shape), dtype=_numpy.uint8))
    if not blocks:
        raise ValueError("no frames in the recordings given")
    return _array.concatenate(blocks, axis=0)
