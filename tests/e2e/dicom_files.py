"""CT files written with pydicom for the tests: the slices of a series and
enhanced multi-frame files, placed in patient space as a scanner places them.
Pixels are indexed [column, row, frame] and stored as 16-bit integers, signed
when their type is. UIDs follow from the file's path, so the same path gives
the same bytes."""
import numpy
import pydicom
from pydicom.dataset import Dataset, FileDataset, FileMetaDataset
from pydicom.uid import UID, CTImageStorage, EnhancedCTImageStorage, ExplicitVRLittleEndian, \
    generate_uid


def decimal(value):
    """As a DICOM decimal string holds it: at most 16 characters."""
    return "%.10g" % value


def spacing_and_cosines(axes):
    """Each index step's length in mm, and the rows' and columns' directions."""
    spacing = numpy.linalg.norm(axes, axis=1)
    return spacing, numpy.concatenate([axes[0] / spacing[0], axes[1] / spacing[1]])


def ct_dataset(path, sop_class, series, pixels, syntax):
    """A CT file's data set for greyscale `pixels`, without its geometry."""
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = sop_class
    meta.MediaStorageSOPInstanceUID = generate_uid(entropy_srcs=[str(path)])
    meta.TransferSyntaxUID = syntax = UID(syntax)
    ds = FileDataset(str(path), {}, file_meta=meta, preamble=b"\0" * 128)
    ds.is_little_endian, ds.is_implicit_VR = True, syntax.is_implicit_VR
    ds.SOPClassUID, ds.SOPInstanceUID = sop_class, meta.MediaStorageSOPInstanceUID
    ds.Modality, ds.StudyInstanceUID, ds.SeriesInstanceUID = "CT", "1.2.3", series
    ds.Columns, ds.Rows = pixels.shape[:2]
    ds.SamplesPerPixel, ds.PhotometricInterpretation = 1, "MONOCHROME2"
    signed = pixels.dtype.kind == "i"
    ds.BitsAllocated, ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 16, 16, 15, int(signed)
    ds.PixelData = pixels.T.astype("<i2" if signed else "<u2").tobytes()
    if syntax.is_compressed:  # encapsulated: one fragment the codec cannot take
        ds.PixelData = pydicom.encaps.encapsulate([b"\xff\x4f\xff\x51" + b"\0" * 60])
        ds["PixelData"].VR = "OB"
    return ds


def write_slice(path, pixels, position, cosines, spacing, series, rescale,
                syntax=ExplicitVRLittleEndian):
    """One CT slice of a series."""
    ds = ct_dataset(path, CTImageStorage, series, pixels, syntax)
    ds.ImagePositionPatient = [decimal(v) for v in position]
    ds.ImageOrientationPatient = [decimal(v) for v in cosines]
    ds.PixelSpacing = [decimal(spacing[1]), decimal(spacing[0])]  # rows apart, then columns
    ds.RescaleSlope, ds.RescaleIntercept = decimal(rescale[0]), decimal(rescale[1])
    ds.save_as(str(path), write_like_original=False)


def item(**elements):
    """A sequence item holding `elements`."""
    dataset = Dataset()
    for keyword, value in elements.items():
        setattr(dataset, keyword, value)
    return dataset


def write_enhanced(path, stored, origin, axes, rescale, order):
    """`stored` as the frames of one enhanced CT file, in `order`, placed by
    functional groups only: frame k at origin + k axes[2]."""
    ds = ct_dataset(path, EnhancedCTImageStorage, "1.2.3.7", stored[:, :, order],
                    ExplicitVRLittleEndian)
    ds.NumberOfFrames = len(order)
    spacing, cosines = spacing_and_cosines(axes)
    ds.SharedFunctionalGroupsSequence = [item(
        PixelMeasuresSequence=[item(PixelSpacing=[decimal(spacing[1]), decimal(spacing[0])],
                                    SliceThickness=decimal(2 * spacing[2]))],
        PlaneOrientationSequence=[item(ImageOrientationPatient=[decimal(v) for v in cosines])],
        PixelValueTransformationSequence=[item(RescaleSlope=decimal(rescale[0]),
                                               RescaleIntercept=decimal(rescale[1]),
                                               RescaleType="HU")])]
    ds.PerFrameFunctionalGroupsSequence = [
        item(PlanePositionSequence=[item(
            ImagePositionPatient=[decimal(v) for v in origin + k * axes[2]])]) for k in order]
    ds.save_as(str(path), write_like_original=False)
