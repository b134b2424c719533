#!/usr/bin/env python3
"""Attaches a photo to each of a host application's customers, then reads each customer's
default photo back:  attach_photos.py [DATABASE] [PICTURE]

DATABASE: a SQLite file (created when missing) or a postgresql:// URI. PICTURE: a picture file
(BMP, PNG, JPEG, GIF, ICO...) to attach; without one each customer gets a small bitmap."""
import struct
import sys

import kelvophotos


def small_bitmap(rgb):
    """A 2x2 24-bit bitmap of one colour."""
    row = rgb.to_bytes(3, "little") * 2 + b"\0\0"
    return (b"BM" + struct.pack("<IHHI", 70, 0, 0, 54)
            + struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, 16, 0, 0, 0, 0) + row * 2)


def main(target="attach_photos.sqlite", picture=None):
    cnn = kelvophotos.connect(target)
    binary = "BYTEA" if cnn.engine == "postgresql" else "BLOB"
    # The host's customers, as it reads them from its own tables; the photos go into a table
    # of its choosing, with columns of its choosing.
    customers = {"C-1": "Zoë Müller", "C-2": "Ōtani Shōhei", "C-3": "O'Brien & Sons"}
    cnn.execute("DROP TABLE IF EXISTS customer_photos")
    cnn.execute("CREATE TABLE customer_photos (customer TEXT, caption TEXT, kind TEXT, notes TEXT,"
                " main BOOLEAN, picture %s)" % binary)

    store = kelvophotos.Store()
    store.TableName = "customer_photos"
    store.OwnerIDField, store.OwnerDescField, store.OwnerGroupField = "customer", "caption", "kind"
    store.OwnerCommentsField, store.OwnerDefaultPhotoField = "notes", "main"
    store.OwnerPhotoField = "picture"
    problems = []
    store.TableError = store.ErrorDescrption = store.ErrorSavingPhoto = problems.append

    for number, (code, name) in enumerate(customers.items()):
        store.Init(code, "customers", name, cnn)
        store.PhotoCode, store.PhotoDescription, store.DefaultPhoto = code, "portrait", True
        if picture:
            store.load_photo(picture)
        else:
            store.photo = small_bitmap(0x3366CC + 0x202000 * number)
        store.SavePhotoDetails(True)

    for code, name in customers.items():
        if store.GetPhoto("customers", code, cnn):
            size = store.photo_size[1]
            print("%s (%s): '%s', %s as a bitmap" % (code, name, store.PhotoDescription, size))
        else:
            problems.append("%s has no photo" % code)
    for problem in problems:
        print("problem:", problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
