/* The finished-picture pipeline done with libvips, for timing side by side
 * with lumavo-cli render: the photo resized to its placement (libvips'
 * thumbnail, with its shrink-on-load), set into the background, the
 * foreground blended over by its alpha, tagged 350 dpi, saved as JPEG.
 *
 * vips_render background foreground photo x y width height out.jpg quality
 */
#include <stdio.h>
#include <stdlib.h>
#include <vips/vips.h>

static VipsImage* Opaque(VipsObject* scope, VipsImage* in)
{
    VipsImage** t = (VipsImage**)vips_object_local_array(scope, 2);
    VipsImage* rgb = in;
    if (in->Bands == 1 || in->Bands == 2) {
        if (vips_colourspace(in, &t[0], VIPS_INTERPRETATION_sRGB, NULL))
            return NULL;
        rgb = t[0];
    }
    if (rgb->Bands == 3)
        return rgb;
    if (vips_extract_band(rgb, &t[1], 0, "n", 3, NULL))
        return NULL;
    return t[1];
}

int main(int argc, char** argv)
{
    if (VIPS_INIT(argv[0]))
        vips_error_exit(NULL);
    if (argc != 10) {
        fprintf(stderr, "usage: %s background foreground photo x y width height out.jpg quality\n", argv[0]);
        return 2;
    }
    const int x = atoi(argv[4]), y = atoi(argv[5]), width = atoi(argv[6]), height = atoi(argv[7]);
    const int quality = atoi(argv[9]);

    VipsObject* scope = VIPS_OBJECT(vips_image_new());
    VipsImage** t = (VipsImage**)vips_object_local_array(scope, 12);

    /* Template pictures are named *.lmv: libvips finds their format by content. */
    if (!(t[0] = vips_image_new_from_file(argv[1], "access", VIPS_ACCESS_SEQUENTIAL, NULL))
        || !(t[1] = vips_image_new_from_file(argv[2], "access", VIPS_ACCESS_SEQUENTIAL, NULL)))
        vips_error_exit(NULL);
    VipsImage* background = Opaque(scope, t[0]);
    if (!background)
        vips_error_exit(NULL);

    /* Shrink-on-load, then the exact placement size. */
    if (vips_thumbnail(argv[3], &t[2], width, "height", height, "size", VIPS_SIZE_FORCE, NULL))
        vips_error_exit(NULL);
    VipsImage* photo = Opaque(scope, t[2]);
    if (!photo || vips_insert(background, photo, &t[3], x, y, NULL))
        vips_error_exit(NULL);

    /* Straight-alpha "over" onto an opaque base: a blend by the alpha band. */
    VipsImage* composed = NULL;
    if (t[1]->Bands == 4 || t[1]->Bands == 2) {
        VipsImage* colours = Opaque(scope, t[1]);
        if (!colours || vips_extract_band(t[1], &t[4], t[1]->Bands - 1, NULL)
            || vips_ifthenelse(t[4], colours, t[3], &t[5], "blend", TRUE, NULL))
            vips_error_exit(NULL);
        composed = t[5];
    } else if (!(composed = Opaque(scope, t[1]))) {
        vips_error_exit(NULL);
    }

    const double pixelsPerMm = 350.0 / 25.4;
    if (vips_copy(composed, &t[6], "xres", pixelsPerMm, "yres", pixelsPerMm, NULL)
        || vips_jpegsave(t[6], argv[8], "Q", quality, NULL))
        vips_error_exit(NULL);

    g_object_unref(scope);
    vips_shutdown();
    return 0;
}
