#version 120

uniform sampler2D palettes;
uniform sampler2D intensities;
uniform float chosenPalette;
uniform float Spread;
uniform int KernelSize;
uniform vec2 TexelSize;
uniform float UpperThreshold;
uniform float LowerThreshold;
// Set when the vertices carry u * v instead of u: the fan is then drawn with
// wedges spanning several beams, and dividing by v (0 at the apex, 1 on the
// arc) keeps u constant along each ray, so every pixel reads its own beam.
uniform int RayTexture;

varying vec2 vTextureCoords;

void main()
{
    vec2 coords = vTextureCoords;
    if (RayTexture != 0) {
        coords.x = vTextureCoords.y > 0.000001 ? vTextureCoords.x / vTextureCoords.y : 0.5;
    }
    float intensity;
#ifdef SINGLE_SAMPLE
    // Built without the kernel loop for when no blur is wanted here: a software
    // renderer would otherwise still run one masked pass through it per pixel.
    intensity = texture2D(intensities, coords).r;
#else
    if (KernelSize == 0) {
        intensity = texture2D(intensities, coords).r;
    } else {
        // Normalised Gaussian over a square kernel; the constant factor is
        // kept so the weights read as the textbook formula.
        int h = (KernelSize - 1) / 2;
        float twoSigmaSquared = 2.0 * Spread * Spread;
        float factor = 1.0 / sqrt(6.28319 * Spread * Spread);
        float total = 0.0;
        float weights = 0.0;
        for (int i = -h; i <= h; ++i) {
            for (int j = -h; j <= h; ++j) {
                float w = factor * pow(2.71828, -float(i * i + j * j) / twoSigmaSquared);
                vec2 offset = vec2(float(i) * TexelSize.x, float(j) * TexelSize.y);
                total += w * texture2D(intensities, coords + offset).r;
                weights += w;
            }
        }
        intensity = total / weights;
    }
#endif
    float clamped = clamp(intensity, LowerThreshold, UpperThreshold);
    gl_FragColor = texture2D(palettes, vec2(clamped, chosenPalette));
}
