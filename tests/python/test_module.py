"""The Python module on SQLite and PostgreSQL: attributes, events as callables, errors as
exceptions, and photos in as bytes or files and out as the same bitmap."""
import itertools
import os
import struct
import sys
import tempfile
import unittest
import unittest.mock

import kelvophotos


def colours(x, y):
    return 0x112233 * (x + 1) + 0x300000 * y


def bitmap(width, height):
    """A 24-bit bottom-up bitmap with its resolution set, whose pixel (x, y) is colours(x, y) =
    0xRRGGBB: photos come back in this form, byte for byte."""
    stride = (width * 3 + 3) // 4 * 4
    rows = b"".join(
        b"".join(colours(x, y).to_bytes(3, "little") for x in range(width)).ljust(stride, b"\0")
        for y in reversed(range(height)))
    return (b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54) + struct.pack(
        "<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0) + rows)


def backends():
    uri = os.environ.get("KELVO_PG_URI")
    if os.environ.get("KELVO_REQUIRE_PG") and not uri:
        raise RuntimeError("KELVO_PG_URI names no server")
    return [("sqlite", None)] + ([("postgresql", uri)] if uri else [])


class ModuleTest(unittest.TestCase):
    tables = itertools.count()

    def open_store(self, uri, save_as_file):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        cnn = kelvophotos.connect(uri or os.path.join(folder.name, "db.sqlite"))
        table = "py_photos_%d_%d" % (os.getpid(), next(self.tables))
        cnn.execute("DROP TABLE IF EXISTS " + table)
        cnn.execute("CREATE TABLE %s (CODE TEXT, DESCR TEXT, GRP TEXT, COMMENTS TEXT, DEF BOOLEAN,"
                    " PIC %s)" % (table, "BYTEA" if cnn.engine == "postgresql" else "BLOB"))
        self.addCleanup(cnn.execute, "DROP TABLE IF EXISTS " + table)
        store = kelvophotos.Store()
        store.TableName, store.OwnerIDField, store.OwnerDescField = table, "CODE", "DESCR"
        store.OwnerGroupField, store.OwnerCommentsField = "GRP", "COMMENTS"
        store.OwnerDefaultPhotoField, store.OwnerPhotoField = "DEF", "PIC"
        store.PhotosFolder = os.path.join(folder.name, "photos") + os.sep
        os.mkdir(store.PhotosFolder)
        store.SaveAsFile = save_as_file
        self.errors = []
        store.TableError = store.ErrorDescrption = store.ErrorSavingPhoto = self.errors.append
        return store, cnn, folder.name

    def test_photos_round_trip_with_events(self):
        for (name, uri), as_file in itertools.product(backends(), (False, True)):
            with self.subTest(backend=name, save_as_file=as_file):
                store, cnn, folder = self.open_store(uri, as_file)
                positions = []
                store.RecordPosition = lambda position, total: positions.append((position, total))
                store.Init("Ü-7", "staff", "Zoë", cnn)
                for description, width in (("badge", 5), ("desk 'B'", 2)):
                    store.PhotoCode, store.PhotoDescription = "Ü-7", description
                    store.photo = bitmap(width, 4)
                    store.SavePhotoDetails(True)
                self.assertEqual(self.errors, [])

                store.Init("Ü-7", "staff", "Zoë", cnn)
                store.LoadData()
                store.LastRecord()
                self.assertEqual(positions[-1], (2, 2))
                store.SearchForRecord("", "badge")
                self.assertEqual(store.PhotoDescription, "badge")
                out = store.photo
                self.assertEqual(out, bitmap(5, 4))
                self.assertEqual(store.photo_size[0], len(out))
                path = os.path.join(folder, "out.bmp")
                store.save_photo(path)
                store.photo = None
                store.load_photo(path)
                self.assertEqual(store.photo, out)
                self.assertTrue(store.GetPhoto("staff", "Ü-7", cnn))

                found = []
                store.CodeExists = found.append
                store.CheckIfCodeExists("'Ü-7'")
                self.assertEqual(found, [True])
                progress = []
                store.ConversionProgress = lambda msg, pos, total: progress.append(pos)
                store.SaveAsFile = not as_file
                convert = store.ConvertAllToBlobs if as_file else store.ConvertAllToFiles
                self.assertTrue(convert(cnn), self.errors)
                self.assertGreaterEqual(len(progress), 2)

    def test_failures(self):
        with self.assertRaises(kelvophotos.Error):
            kelvophotos.connect("postgresql://nobody@127.0.0.1:1/none")
        for name, uri in backends():
            with self.subTest(backend=name):
                store, cnn, _ = self.open_store(uri, False)
                for fails in (lambda: cnn.execute("SELECT FROM nowhere_at_all"),
                              lambda: setattr(store, "photo", b"BM not a bitmap"),
                              lambda: store.load_photo("/nonexistent/picture.png"),
                              store.FirstRecord):  # no Init: no rows to move through
                    with self.assertRaises(kelvophotos.Error):
                        fails()
                self.assertIsNone(store.photo)
                # The store reports a table it cannot read through its event; a callable that
                # raises does not stop it.
                store.TableName = "no_such_table"
                store.TableError = lambda text: 1 / 0
                unraisable = []
                with unittest.mock.patch.object(sys, "unraisablehook", unraisable.append):
                    store.Init("Ü-7", "staff", "", cnn)
                self.assertIsInstance(unraisable[0].exc_value, ZeroDivisionError)
                store.TableError = self.errors.append
                store.Init("Ü-7", "staff", "", cnn)
                self.assertTrue(any("no_such_table" in e for e in self.errors), self.errors)


if __name__ == "__main__":
    unittest.main()
