#version 120

uniform vec4 uColour;

void main()
{
    gl_FragColor = uColour;
}
