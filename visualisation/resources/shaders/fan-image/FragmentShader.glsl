#version 120

uniform sampler2D palettes;
uniform sampler2D intensities;
uniform float chosenPalette;
uniform float Spread;
uniform int KernelSize;
uniform vec2 TexelSize;
uniform float UpperThreshold;
uniform float LowerThreshold;

varying vec2 vTextureCoords;

void main()
{
    float intensity;
    if (KernelSize == 0) {
        intensity = texture2D(intensities, vTextureCoords).r;
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
                total += w * texture2D(intensities, vTextureCoords + offset).r;
                weights += w;
            }
        }
        intensity = total / weights;
    }
    float clamped = clamp(intensity, LowerThreshold, UpperThreshold);
    gl_FragColor = texture2D(palettes, vec2(clamped, chosenPalette));
}
